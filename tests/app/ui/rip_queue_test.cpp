// The rip queue driven through the real window on generated disc images.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "app/queue/rip_components.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app_fixture.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/fake_cdrip_control.h"
#include "audio/core/dynamic_library.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

// One track at a time, with a second between tracks, as the queue always
// worked; the pipelined queue has tests of its own below.
class RipQueueTest : public WindowTest {
protected:
    void Ready(const QString& format = QStringLiteral("Wav"))
    {
        WriteFlag(QStringLiteral("sequentialMode"), true);
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(format);
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }
    bool Busy() { return Form().btnStopRip->isEnabled(); }
};

TEST_F(RipQueueTest, TickedRowsAreRippedInRowOrderWithAGapBetweenTracks)
{
    // One read per track: the sandbox's AccurateRip server cannot confirm fast reads.
    Write(key::kReadingMode, QStringLiteral("secure"));
    Ready();
    Rows().SetChecked(2, false);
    RowRecorder recorder(Rows());
    PressRip();
    EXPECT_TRUE(Busy());
    EXPECT_FALSE(Form().btnRipCD->isEnabled());
    EXPECT_FALSE(Form().cbDrive->isEnabled());
    EXPECT_FALSE(Form().cbTrack->isEnabled());
    EXPECT_FALSE(Form().mTabConvert->isEnabled());
    EXPECT_TRUE(Form().edtDes->isReadOnly());
    EXPECT_TRUE(Rows().ReadOnly());
    EXPECT_TRUE(Form().btnRefreshCD->isEnabled());
    ASSERT_TRUE(WaitForAllDone());

    EXPECT_EQ(messages_.Count(text::kAllDone), 1);
    EXPECT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages.back().Caption, QStringLiteral("完成"));
    for (int row : {0, 1, 3}) {
        EXPECT_EQ(recorder.StatusesOf(row),
                  (std::vector<TTrackStatus>{TTrackStatus::Converting, TTrackStatus::Converted}))
            << row;
        const std::vector<int> progress = recorder.ProgressOf(row);
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << row;
        EXPECT_EQ(progress.back(), 100);
    }
    EXPECT_EQ(Rows().Status(2), TTrackStatus::NotConverted);
    EXPECT_TRUE(recorder.StatusesOf(2).empty());
    EXPECT_FALSE(std::filesystem::exists(Output("Track3.wav")));
    // Row order, with the one-second gap after each finished track.
    const qint64 done1 = recorder.FirstTime(0, TTrackStatus::Converted);
    const qint64 start2 = recorder.FirstTime(1, TTrackStatus::Converting);
    const qint64 done2 = recorder.FirstTime(1, TTrackStatus::Converted);
    const qint64 start4 = recorder.FirstTime(3, TTrackStatus::Converting);
    EXPECT_GE(start2 - done1, 900);
    EXPECT_GE(start4 - done2, 900);
    EXPECT_EQ(Form().Queue().Timer1().interval(), 1000);

    for (int track : {1, 2, 4}) {
        const auto file = Output("Track" + std::to_string(track) + ".wav");
        EXPECT_EQ(FfmpegDecode(file), disc_.TrackBytes(track)) << file;
    }
    // Idle again.
    EXPECT_FALSE(Busy());
    EXPECT_TRUE(Form().btnRipCD->isEnabled());
    EXPECT_TRUE(Form().cbDrive->isEnabled());
    EXPECT_FALSE(Rows().ReadOnly());
    EXPECT_FALSE(Form().ToolBarPaly->isVisible());
    EXPECT_EQ(Form().TracksList->currentIndex().row(), 3);

    // Nothing left: the next rip command says so at once.
    PressRip();
    EXPECT_EQ(messages_.Count(text::kAllDone), 1);
    EXPECT_EQ(messages_.Count(text::kNothingToRip), 1);
    EXPECT_FALSE(Busy());
}

TEST_F(RipQueueTest, NoDriveSelectedGivesTwoMessagesInOrder)
{
    // Two drives: none is chosen at start (a lone one would be).
    TCDIn::AddImageDrive(disc_.cue.string());
    OpenWindows();
    ASSERT_EQ(Form().cbDrive->count(), 2);
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    PressRip();
    ASSERT_EQ(messages_.Messages.size(), 2u);
    EXPECT_EQ(messages_.Messages[0].Text, QStringLiteral("请选择CD所在的驱动器,"));
    EXPECT_EQ(messages_.Messages[0].Caption, QStringLiteral("没有选择驱动器"));
    EXPECT_EQ(messages_.Messages[0].Icon, QMessageBox::Information);
    EXPECT_EQ(messages_.Messages[1].Text,
              QStringLiteral("请确定你已经设置了输出目录以及停止了当前CD的播放 "));
    EXPECT_EQ(messages_.Messages[1].Caption, QStringLiteral("提示"));
    EXPECT_EQ(folders_.Calls, 0);
    EXPECT_FALSE(Busy());
}

TEST_F(RipQueueTest, WizardModeStopsThePlayerInsteadOfTheReminder)
{
    WriteFlag(QStringLiteral("wazid"), true);
    TCDIn::AddImageDrive(disc_.cue.string());
    OpenWindows();
    PressRip();
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Text, text::kSelectDrive);
    EXPECT_EQ(player_->stops, 1);
}

TEST_F(RipQueueTest, AMissingFolderOpensTheFolderDialog)
{
    OpenWindows();
    SelectDiscDrive();
    folders_.Answer = QString::fromStdString(outDir_.string());
    PressRip();
    EXPECT_EQ(folders_.Calls, 1);
    EXPECT_EQ(Form().edtDes->text(), folders_.Answer);
    // The user starts the rip again; the reminder came first.
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_EQ(messages_.Messages[0].Text, text::kReminder);
    EXPECT_FALSE(Busy());
    EXPECT_FALSE(std::filesystem::exists(Output("Track1.ape")));
}

TEST_F(RipQueueTest, AFailedTrackLeavesNothingUnderItsName)
{
    Ready();
    for (int row : {2, 3})
        Rows().SetChecked(row, false);
    // A folder in the way: the finished file cannot take its name.
    std::filesystem::create_directories(Output("Track2.wav"));
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return messages_.Messages.size() == 1; }));
    EXPECT_EQ(Rows().Status(1), TTrackStatus::Failed);
    EXPECT_EQ(messages_.Messages[0].Caption, text::kRipEndedCaption);
    EXPECT_TRUE(Form().lblEx->isVisible());
    EXPECT_FALSE(Busy());
    // Track 1 with its log and CUE sheet and nothing else: no temporary file, no lock.
    // The records take the album's name, here the disc's CD-TEXT.
    const std::string album = Form().AlbumText().toStdString();
    ASSERT_FALSE(album.empty());
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Output(album + ".cue")); }));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(outDir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected{"Track1.wav", "Track2.wav", album + ".cue", album + ".log"};
    EXPECT_TRUE(std::filesystem::is_empty(Output("Track2.wav")));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(RipQueueTest, TheVerifyColumnShowsEachRippedRowsVerdict)
{
    // A database that does not know the disc.
    HttpTestServer server;
    Write(key::kAccurateRipServer, server.BaseUrl());
    Ready();
    Rows().SetChecked(2, false);
    EXPECT_EQ(Rows().headerData(tlVerify, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("校验"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    ASSERT_TRUE(WaitUntil([this] { return !Rows().Verdict(3).isEmpty(); }));
    for (int row : {0, 1, 3})
        EXPECT_EQ(Form().TracksList->model()->index(row, tlVerify).data().toString(),
                  QStringLiteral("数据库中无此光盘"))
            << row;
    EXPECT_TRUE(Rows().Verdict(2).isEmpty());
    EXPECT_EQ(server.RequestedTargets().size(), 1);
}

TEST_F(RipQueueTest, Mp3TagsFollowTheFlagsAndKeepTheLastValues)
{
    // The boxes' own behaviour: full tags would write every tag over them.
    WriteFlag(QStringLiteral("writeFullTags"), false);
    WriteFlag(QStringLiteral("addId3Title"), true);
    WriteFlag(QStringLiteral("addId3Track"), true);
    WriteFlag(QStringLiteral("addId3Album"), true);
    Ready(QStringLiteral("MP3"));
    Settings().edtAlbum->setText(QStringLiteral("演示专辑"));
    Rows().SetName(0, QStringLiteral("晨光"));
    for (int row : {2, 3})
        Rows().SetChecked(row, false);
    // The title flag goes off before the second track starts.
    QObject::connect(&Rows(), &QAbstractItemModel::dataChanged, &Form(), [this] {
        if (Rows().Status(0) == TTrackStatus::Converted)
            WriteFlag(QStringLiteral("addId3Title"), false);
    });
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(FfprobeTag(Output("晨光.mp3"), "title"), "晨光");
    EXPECT_EQ(FfprobeTag(Output("晨光.mp3"), "track"), "1");
    EXPECT_EQ(FfprobeTag(Output("晨光.mp3"), "album"), "演示专辑");
    // Still the title set for the first track.
    EXPECT_EQ(FfprobeTag(Output("Track2.mp3"), "title"), "晨光");
    EXPECT_EQ(FfprobeTag(Output("Track2.mp3"), "track"), "2");
}

} // namespace
} // namespace sonfeld::test
