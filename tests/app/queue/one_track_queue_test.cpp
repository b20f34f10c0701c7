// The one-track-at-a-time queue through its host interfaces, without the
// window: what it checks before a queue, how it names and replaces files, and
// how Stop and the CPU level reach it.

#include <QTimer>
#include <filesystem>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "audio/formats/wave/wave_out.h"
#include "queue_fixture.h"
#include "row_events.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class OneTrackQueueTest : public QueueTest {
protected:
    void Ready(const QString& format = QStringLiteral("Wav"))
    {
        host_.Format = format;
        QueueTest::Ready(true);
    }
    // Only the rows of these tracks ticked.
    void Tick(std::initializer_list<int> tracks)
    {
        for (int row = 0; row < Rows().rowCount(); ++row)
            Rows().SetChecked(row, std::find(tracks.begin(), tracks.end(),
                                             Rows().TrackNumberOfRow(row)) != tracks.end());
    }
    TWaveOut& WaveOutput()
    {
        return dynamic_cast<TWaveOut&>(*Components().OutputNamed(QStringLiteral("Wav")));
    }
    bool Running(int row)
    {
        return Rows().Status(row) == TTrackStatus::Converting && Rows().Progress(row) > 0;
    }
    // 40 ms before each 16 KiB block: about two seconds for a 4-second track.
    void Slow() { WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("40")); }
};

TEST_F(OneTrackQueueTest, AnEmptyLastNameAsksForTheFolderAndStartsNothing)
{
    Ready();
    Rows().SetName(3, QString());
    PressRip();
    EXPECT_EQ(host_.Browses, 1);
    EXPECT_FALSE(host_.Busy);
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));
}

TEST_F(OneTrackQueueTest, AnExistingTargetStopsTheRipWhenOverwritingIsOff)
{
    WriteFlag(QStringLiteral("chkOverRide"), true);
    Ready();
    // Compared without regard to case: Track2.WAV is the file Track2.wav.
    WriteFileBytes(Output("Track2.WAV"), {1, 2, 3, 4});
    PressRip();
    ASSERT_EQ(host_.Messages.size(), 2u);
    EXPECT_EQ(host_.Messages[0].Text,
              QStringLiteral("在输出目录找到同名文件, \r\n请更改输出路径或者更改文件名. \r\n"));
    EXPECT_EQ(host_.Messages[0].Caption, QStringLiteral("找到同名的文件"));
    EXPECT_EQ(host_.Messages[1].Text, text::kReminder);
    EXPECT_FALSE(host_.Busy);
    EXPECT_FALSE(std::filesystem::exists(Output("Track1.wav")));

    // Unticked, the row's file is not in the way; the queue's own files never are.
    Rows().SetChecked(1, false);
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    for (int row : {0, 2, 3})
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
    EXPECT_EQ(ReadFileBytes(Output("Track2.WAV")), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(OneTrackQueueTest, WithoutTheCheckAnExistingFileIsReplaced)
{
    Ready();
    WriteFileBytes(Output("Track1.wav"), std::vector<std::uint8_t>(5000000, 7));
    Tick({1});
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(FfmpegDecode(Output("Track1.wav")), disc_.TrackBytes(1));
}

TEST_F(OneTrackQueueTest, ANameNamesTheFileWithItsControlCharactersReplaced)
{
    Ready(QStringLiteral("FLAC"));
    Tick({1, 2});
    Rows().SetName(0, QStringLiteral("晨光"));
    Rows().SetName(1, QStringLiteral("a\tb\nc\x1b[31m"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(FfmpegDecode(Output("晨光.flac")), disc_.TrackBytes(1));
    EXPECT_EQ(FfmpegDecode(Output("a_b_c_[31m.flac")), disc_.TrackBytes(2));
}

TEST_F(OneTrackQueueTest, AMissingNestedFolderIsCreatedAndOneThatCannotBeFailsTheRun)
{
    Ready();
    Tick({1});
    const auto nested = outDir_ / "a" / "b";
    host_.Folder = QString::fromStdString(nested.string());
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(FfmpegDecode(nested / "Track1.wav"), disc_.TrackBytes(1));

    // A file stands where a folder should be made.
    WriteFileBytes(outDir_ / "file", {1});
    const QString blocked = QString::fromStdString((outDir_ / "file" / "sub").string());
    host_.Folder = blocked;
    Rows().SetChecked(1, true);
    PressRip();
    ASSERT_EQ(host_.Errors.size(), 1u);
    EXPECT_TRUE(host_.Errors[0].contains(blocked));
    EXPECT_TRUE(host_.Errors[0].contains(QStringLiteral("无法创建文件夹")));
    EXPECT_FALSE(host_.Busy);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);
}

TEST_F(OneTrackQueueTest, RowsThatWouldWriteOneFileAreRefusedBeforeTheStart)
{
    Ready();
    Rows().SetName(1, QStringLiteral("Same"));
    Rows().SetName(3, QStringLiteral("Same"));
    PressRip();
    ASSERT_EQ(host_.Messages.size(), 1u);
    EXPECT_EQ(host_.Messages[0].Caption, text::kSameFileNameCaption);
    EXPECT_EQ(
        host_.Messages[0].Text,
        QStringLiteral("以下音轨会写入同一个文件，请更改名称: Track 2、Track 4 → “Same.wav”"));
    EXPECT_FALSE(host_.Busy);
    EXPECT_TRUE(std::filesystem::is_empty(outDir_));
    // Unticking one of them lets the queue go.
    Rows().SetChecked(3, false);
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(FfmpegDecode(Output("Same.wav")), disc_.TrackBytes(2));
}

TEST_F(OneTrackQueueTest, AStoppedReRipKeepsTheFinishedFile)
{
    Slow();
    Ready();
    std::vector<std::uint8_t> earlier(200000);
    for (std::size_t i = 0; i < earlier.size(); ++i)
        earlier[i] = static_cast<std::uint8_t>(i * 7);
    WriteFileBytes(Output("Track1.wav"), earlier);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Running(0); }));
    PressStop();
    EXPECT_EQ(host_.Stoppings, 1);
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::Cancelled; }));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(ReadFileBytes(Output("Track1.wav")), earlier);
    EXPECT_EQ(FilesLeft(), std::vector<std::string>{"Track1.wav"});
}

TEST_F(OneTrackQueueTest, StopDuringThePauseStartsNoFurtherTrack)
{
    host_.Pause = true;
    Ready();
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Rows().Status(0) == TTrackStatus::Converted; }));
    ASSERT_TRUE(Queue().Timer1().isActive());
    PressStop();
    EXPECT_FALSE(Queue().Timer1().isActive());
    EXPECT_EQ(host_.Stoppings, 0); // nothing was running: idle at once
    EXPECT_FALSE(host_.Busy);
    Pump(1800);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::NotConverted);
    EXPECT_FALSE(std::filesystem::exists(Output("Track2.wav")));
    EXPECT_EQ(host_.Count(text::kAllDone), 0);
}

TEST_F(OneTrackQueueTest, TheCpuLevelIsAppliedOnlyWithoutAutomatic)
{
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("3"));
    Ready();
    Tick({1});
    PressRip();
    EXPECT_EQ(WaveOutput().Delay(), 3);
    ASSERT_TRUE(WaitForAllDone());

    WriteFlag(QStringLiteral("autoCPU"), true);
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("7"));
    Rows().SetChecked(1, true);
    PressRip();
    EXPECT_EQ(WaveOutput().Delay(), 3);
    ASSERT_TRUE(WaitUntil([this] { return host_.Count(text::kAllDone) == 2; }));
}

TEST_F(OneTrackQueueTest, TheDiscIsEjectedAtTheEndWhenAsked)
{
    WriteFlag(QStringLiteral("ejectCD"), true);
    // A drive with a disc of two short tracks, whose tray the library reports.
    if (!drive_.Load({0, 300, 600}))
        GTEST_SKIP() << FakeDrive::kMissing;
    discDrive_ = FakeDrive::kDrive;
    Ready();
    ASSERT_EQ(Rows().rowCount(), 2);
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(drive_.Counters().ejectCalls, 1);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::Converted);
}

} // namespace
} // namespace sonfeld::test
