// How a rip ends, in both queues (one track at a time and pipelined): a track
// that fails does not stop the others, the end says what happened, the next
// rip tries the failed tracks again, and the rows may be sorted while the
// queue runs.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "app_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipEndTest : public WindowTest, public ::testing::WithParamInterface<bool> {
protected:
    // Secure reading: one read per track, none held for a verdict.
    void Ready(int cpuDelayMs = 0)
    {
        WriteFlag(QStringLiteral("sequentialMode"), Sequential());
        Write(key::kReadingMode, QStringLiteral("secure"));
        WriteSetting(QStringLiteral("CPU_INT"), QString::number(cpuDelayMs));
        OpenWindows();
        SelectDiscDrive();
        ChooseFormat(QStringLiteral("Wav"));
        Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    }
    bool Sequential() const { return GetParam(); }
    bool Busy() { return Form().btnStopRip->isEnabled(); }
    int RowOf(int track) { return Rows().RowOfTrack(track); }
    std::filesystem::path File(int track)
    {
        return Output("Track" + std::to_string(track) + ".wav");
    }
    // Temporary files and spools: hidden names and ".pcm".
    std::vector<std::string> Leftovers()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(outDir_)) {
            const std::string name = entry.path().filename().string();
            if (name.front() == '.' || entry.path().extension() == ".pcm")
                names.push_back(name);
        }
        return names;
    }
    const TMessageRequest* Summary() const
    {
        for (const auto& message : messages_.Messages)
            if (message.Caption == text::kRipEndedCaption)
                return &message;
        return nullptr;
    }
};

TEST_P(RipEndTest, AFailedTrackDoesNotStopTheOthersAndTheNextRipTriesItAgain)
{
    Ready();
    // A folder where Track 2's file should go: that track cannot be saved,
    // whatever its name.
    std::filesystem::create_directories(File(2) / "mine");
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Summary() != nullptr; }, 60000));
    EXPECT_EQ(messages_.Count(text::kAllDone), 0);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Rows().Status(RowOf(2)), TTrackStatus::Failed);
    EXPECT_EQ(Rows().StatusText(RowOf(2)), QStringLiteral("转换失败"));
    for (int track : {1, 3, 4}) {
        EXPECT_EQ(Rows().Status(RowOf(track)), TTrackStatus::Converted) << track;
        EXPECT_EQ(FfmpegDecode(File(track)), disc_.TrackBytes(track)) << track;
    }
    EXPECT_TRUE(std::filesystem::is_directory(File(2)));
    EXPECT_TRUE(Leftovers().empty());

    // Why, on the row and in the summary, with the folder and the log offered.
    const QString reason = Rows().FailReason(RowOf(2));
    EXPECT_TRUE(reason.contains(QStringLiteral("Track2.wav"))) << reason.toStdString();
    EXPECT_EQ(Rows().index(RowOf(2), tlStatus).data(Qt::ToolTipRole).toString(), reason);
    EXPECT_FALSE(Rows().index(RowOf(1), tlStatus).data(Qt::ToolTipRole).isValid());
    const TMessageRequest summary = *Summary();
    EXPECT_EQ(summary.Icon, QMessageBox::Warning);
    EXPECT_TRUE(summary.Text.startsWith(QStringLiteral("已转换 3 首音轨（共 4 首）。")))
        << summary.Text.toStdString();
    EXPECT_TRUE(summary.Text.contains(QStringLiteral("1 首未能转换:\n  Track 2: ") + reason))
        << summary.Text.toStdString();
    EXPECT_TRUE(summary.Text.contains(text::kSummaryRetry));
    EXPECT_TRUE(summary.Buttons & QMessageBox::Open);
    EXPECT_TRUE(summary.Buttons & QMessageBox::Apply);
    const std::string album = Form().AlbumText().toStdString();
    ASSERT_TRUE(std::filesystem::exists(Output(album + ".log")));
    EXPECT_TRUE(summary.Text.contains(QString::fromStdString(Output(album + ".log").string())));
    std::stringstream log;
    log << std::ifstream(Output(album + ".log")).rdbuf();
    EXPECT_NE(log.str().find("失败原因: " + reason.toStdString()), std::string::npos) << log.str();

    // The next rip takes the failed track again, and only that one.
    std::filesystem::remove_all(File(2));
    RowRecorder recorder(Rows());
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Rows().Status(RowOf(2)), TTrackStatus::Converted);
    EXPECT_TRUE(Rows().FailReason(RowOf(2)).isEmpty());
    EXPECT_EQ(FfmpegDecode(File(2)), disc_.TrackBytes(2));
    for (int track : {1, 3, 4})
        EXPECT_TRUE(recorder.StatusesOf(RowOf(track)).empty()) << track;
}

TEST_P(RipEndTest, TheSummaryOpensTheFolderOrTheLog)
{
    Ready();
    std::filesystem::create_directories(File(1) / "mine");
    for (const QMessageBox::StandardButton answer : {QMessageBox::Open, QMessageBox::Apply}) {
        SetMessageDisplay([&answer](const TMessageRequest& request) {
            return request.Caption == text::kRipEndedCaption ? answer : QMessageBox::Ok;
        });
        const std::size_t opened = urls_.Urls.size();
        // Track 1 fails each time; another track is ripped, so there is a log.
        const int ripped = answer == QMessageBox::Open ? 2 : 3;
        for (int row = 0; row < Rows().rowCount(); ++row)
            Rows().SetChecked(row, Rows().TrackNumberOfRow(row) == 1 ||
                                       Rows().TrackNumberOfRow(row) == ripped);
        PressRip();
        ASSERT_TRUE(WaitUntil([&] { return urls_.Urls.size() > opened; }, 60000));
        EXPECT_FALSE(Busy());
        const QString path = urls_.Urls.back().toLocalFile();
        if (answer == QMessageBox::Open) {
            EXPECT_EQ(std::filesystem::path(path.toStdString()), outDir_);
        } else {
            EXPECT_TRUE(path.endsWith(QStringLiteral(".log"))) << path.toStdString();
            EXPECT_TRUE(QFile::exists(path));
        }
    }
}

TEST_P(RipEndTest, SortingTheRowsDuringARipKeepsEveryTrackOnItsOwnRow)
{
    // Slow enough that every track is still to come when the rows are sorted.
    Ready(Sequential() ? 5 : 20);
    PressRip();
    Form().TracksList->sortByColumn(tlTrack, Qt::DescendingOrder);
    ASSERT_EQ(Rows().TrackNumberOfRow(0), 4);
    // The user puts the selection on Track 2; the queue leaves it there.
    Form().TracksList->setCurrentIndex(Rows().index(RowOf(2), tlTrack));
    const auto selected = [this] {
        return Rows().TrackNumberOfRow(Form().TracksList->currentIndex().row());
    };
    if (!Sequential()) {
        // Every track is read in turn, the last one too, and the selection stays.
        ASSERT_TRUE(
            WaitUntil([this] { return Rows().Status(RowOf(4)) != TTrackStatus::NotConverted; }));
        EXPECT_EQ(selected(), 2);
    }
    ASSERT_TRUE(WaitForAllDone());
    for (int track = 1; track <= 4; ++track) {
        EXPECT_EQ(Rows().Status(RowOf(track)), TTrackStatus::Converted) << track;
        EXPECT_EQ(Rows().Progress(RowOf(track)), 100) << track;
        EXPECT_EQ(FfmpegDecode(File(track)), disc_.TrackBytes(track)) << track;
    }
    if (!Sequential()) {
        EXPECT_EQ(selected(), 2);
    }
}

TEST_P(RipEndTest, SortedThenStoppedEveryRowSaysWhetherItsFileIsThere)
{
    Ready(60);
    PressRip();
    Form().TracksList->sortByColumn(tlTrack, Qt::DescendingOrder);
    ASSERT_TRUE(WaitUntil([this] { return Rows().Progress(RowOf(1)) > 0; }));
    PressStop();
    ASSERT_TRUE(WaitUntil([this] { return Form().btnRipCD->isEnabled(); }));
    for (int track = 1; track <= 4; ++track) {
        const TTrackStatus status = Rows().Status(RowOf(track));
        EXPECT_EQ(std::filesystem::exists(File(track)), status == TTrackStatus::Converted)
            << track << ": " << Rows().StatusText(RowOf(track)).toStdString();
        EXPECT_TRUE(status == TTrackStatus::Converted || status == TTrackStatus::Cancelled ||
                    status == TTrackStatus::NotConverted)
            << track;
    }
    EXPECT_EQ(Rows().Status(RowOf(1)), TTrackStatus::Cancelled);
    // The next rip leaves no track it never finished without a file, cancelled aside.
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("0"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    for (int track = 1; track <= 4; ++track) {
        const TTrackStatus status = Rows().Status(RowOf(track));
        EXPECT_TRUE(status == TTrackStatus::Converted || status == TTrackStatus::Cancelled)
            << track;
        if (status == TTrackStatus::Converted) {
            EXPECT_EQ(FfmpegDecode(File(track)), disc_.TrackBytes(track)) << track;
        } else {
            EXPECT_FALSE(std::filesystem::exists(File(track))) << track;
        }
    }
    EXPECT_TRUE(Leftovers().empty());
}

INSTANTIATE_TEST_SUITE_P(BothQueues, RipEndTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& queue) {
                             return queue.param ? "OneTrackAtATime" : "Pipelined";
                         });

} // namespace
} // namespace sonfeld::test
