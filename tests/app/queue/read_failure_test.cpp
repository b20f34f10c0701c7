// A drive that cannot read a sector in the middle of a track, through the
// fake CR_ library, in both queues: each track fails visibly, the others are
// still tried, a finished file is kept, and the next rip tries them again.

#include "app/text/texts.h"
#include "queue_fixture.h"
#include "row_events.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class ReadFailureTest : public QueueTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadFailureTest, AFailedReadKeepsTheFinishedFileAndLeavesNoTemporaryOne)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    // A few chunks into each track, the drive gives up on a sector.
    drive_.FailAfter(3, 0);
    discDrive_ = FakeDrive::kDrive;
    Ready(GetParam());
    ASSERT_EQ(Rows().rowCount(), 3);
    Rows().SetChecked(2, false);

    std::vector<std::uint8_t> earlier(100000);
    for (std::size_t i = 0; i < earlier.size(); ++i)
        earlier[i] = static_cast<std::uint8_t>(i * 11);
    WriteFileBytes(Output("Track1.wav"), earlier);
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    // Both ticked tracks were tried, and both failed.
    EXPECT_FALSE(host_.Busy);
    for (int row : {0, 1}) {
        EXPECT_EQ(Rows().StatusText(row), QStringLiteral("转换失败")) << row;
        EXPECT_TRUE(Rows().FailReason(row).contains(QStringLiteral("could not be read")))
            << Rows().FailReason(row).toStdString();
    }
    ASSERT_EQ(host_.Summaries.size(), 1u);
    EXPECT_EQ(host_.Summaries[0].Ripped, 0);
    EXPECT_EQ(host_.Summaries[0].Tracks, 2);
    EXPECT_EQ(host_.Summaries[0].Failed.size(), 2u);
    EXPECT_EQ(host_.RunErrors.size(), 2u);
    EXPECT_EQ(ReadFileBytes(Output("Track1.wav")), earlier);
    EXPECT_EQ(FilesLeft(), std::vector<std::string>{"Track1.wav"});
    EXPECT_EQ(Rows().Status(2), TTrackStatus::NotConverted);

    // Once the drive reads again, the next rip takes the failed tracks again.
    drive_.FailAfter(-1, 0);
    PressRip();
    ASSERT_TRUE(WaitForAllDone());
    EXPECT_EQ(Rows().Status(0), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(1), TTrackStatus::Converted);
    EXPECT_EQ(Rows().Status(2), TTrackStatus::NotConverted);
    for (int track : {1, 2})
        EXPECT_EQ(FfmpegDecode(Output("Track" + std::to_string(track) + ".wav")), TrackBytes(track))
            << track;
    EXPECT_FALSE(std::filesystem::exists(Output("Track3.wav")));
}

INSTANTIATE_TEST_SUITE_P(BothQueues, ReadFailureTest, ::testing::Values(true, false), QueueName);

} // namespace
} // namespace sonfeld::test
