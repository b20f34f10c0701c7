// The pipelined queue through its host interfaces: the drive reads ahead while
// encoders follow, each row shows its reading and its encoding, and Stop,
// failures and the temporary files behave as in the one-track queue.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/settings/settings_store.h"
#include "app/tracks/track_list_model.h"
#include "queue_fixture.h"
#include "row_events.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class PipelinedQueueTest : public QueueTest {
protected:
    std::vector<std::int64_t> DiscSectors() const override { return {300, 300, 300, 300, 300}; }

    void Ready(const QString& format, int cpuDelayMs)
    {
        WriteSetting(QStringLiteral("CPU_INT"), QString::number(cpuDelayMs));
        host_.Format = format;
        QueueTest::Ready(false);
    }

    // Temporary files and spools left in the folder: hidden names and ".pcm".
    std::vector<std::string> Leftovers()
    {
        std::vector<std::string> names;
        for (const std::string& name : FilesLeft())
            if (name.front() == '.' || std::filesystem::path(name).extension() == ".pcm")
                names.push_back(name);
        return names;
    }
};

TEST_F(PipelinedQueueTest, TheDriveReadsAheadOfSlowEncodersAndEveryFileIsExact)
{
    // Encoders held back (20 ms a block): the drive must not wait for them.
    Ready(QStringLiteral("FLAC"), 20);
    RowRecorder recorder(Rows());
    PressRip();
    // Only the first row is selected: the others leave the selection alone.
    EXPECT_EQ(host_.SelectedRows, std::vector<int>{0});
    ASSERT_TRUE(WaitForAllDone());
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
        EXPECT_EQ(FfmpegDecode(Output("Track" + std::to_string(row + 1) + ".flac")),
                  disc_.TrackBytes(row + 1))
            << row;
        const auto statuses = recorder.StatusesOf(row);
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), TTrackStatus::Reading),
                  statuses.end())
            << row;
    }
    // The last track was read before the first one was finished.
    const qint64 lastRead = recorder.FirstTime(4, TTrackStatus::Converting);
    ASSERT_GE(lastRead, 0);
    EXPECT_LT(lastRead, recorder.FirstTime(0, TTrackStatus::Converted));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(PipelinedQueueTest, StopEndsEveryRowAndLeavesNoPartialOrSpooledFile)
{
    Ready(QStringLiteral("Wav"), 60);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Rows().Progress(0) > 0; }));
    PressStop();
    EXPECT_EQ(host_.Stoppings, 1);
    ASSERT_TRUE(WaitUntilIdle());
    int cancelled = 0;
    for (int row = 0; row < 5; ++row) {
        const TTrackStatus status = Rows().Status(row);
        EXPECT_TRUE(status == TTrackStatus::Cancelled || status == TTrackStatus::NotConverted ||
                    status == TTrackStatus::Converted)
            << row << ": " << Rows().StatusText(row).toStdString();
        cancelled += status == TTrackStatus::Cancelled ? 1 : 0;
        const bool file =
            std::filesystem::exists(Output("Track" + std::to_string(row + 1) + ".wav"));
        EXPECT_EQ(file, status == TTrackStatus::Converted) << row;
    }
    EXPECT_GE(cancelled, 1);
    EXPECT_TRUE(Leftovers().empty());

    // The next rip takes the rows never started and leaves the stopped ones.
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("0"));
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    for (int row = 0; row < 5; ++row)
        EXPECT_NE(Rows().Status(row), TTrackStatus::NotConverted) << row;
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(PipelinedQueueTest, ANameThatCannotBeAFileFailsItsRowAndTheOtherRowsFinish)
{
    Ready(QStringLiteral("Wav"), 0);
    Rows().SetName(2, QStringLiteral("  ")); // nothing is left of it
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    EXPECT_FALSE(host_.Busy);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(2), TTrackStatus::Failed);
    EXPECT_EQ(Rows().Status(3), TTrackStatus::Converted);
    ASSERT_EQ(host_.RunErrors.size(), 1u);
    EXPECT_TRUE(host_.RunErrors[0].contains(QStringLiteral("不能用作文件名")));
    ASSERT_EQ(host_.Summaries.size(), 1u);
    EXPECT_EQ(host_.Summaries[0].Ripped, 4);
    EXPECT_EQ(host_.Summaries[0].Tracks, 5);
    EXPECT_TRUE(Leftovers().empty());
}

} // namespace
} // namespace sonfeld::test
