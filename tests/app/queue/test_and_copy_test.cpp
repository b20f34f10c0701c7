// Test and copy in both queues, through the fake CR_ library: every track is
// read twice, the file kept is the copy's, and reads whose CRCs differ make
// the track suspicious. The old-drive reading mode reaches every read.

#include <algorithm>

#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "queue_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class TestAndCopyTest : public QueueTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TestAndCopyTest, EachTrackIsReadTwiceAndDifferingReadsAreSuspicious)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    Write(key::kReadingMode, QStringLiteral("secure"));
    Write(key::kTestAndCopy, true);
    // Track 3's first read gets a sector wrong, its second one right.
    const std::int32_t flaky[] = {650};
    drive_.Flaky(flaky, 1, 1);
    discDrive_ = FakeDrive::kDrive;
    Ready(GetParam());
    ASSERT_EQ(Rows().rowCount(), kTracks);

    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    ASSERT_TRUE(WaitUntilIdle());
    // The queue asked for read it: one at a time moves the selection along,
    // the pipelined queue takes every row at once and leaves it.
    EXPECT_EQ(host_.SelectedRows.size(), GetParam() ? 3u : 1u);
    EXPECT_EQ(drive_.Counters().secureOpenCalls, 2 * kTracks);
    EXPECT_EQ(drive_.Counters().fastOpenCalls, 0);
    // The test reads leave no file behind: only the tracks, the log and the sheet.
    std::vector<std::string> tracks = FilesLeft();
    std::erase_if(tracks, [](const std::string& name) {
        return name.ends_with(".log") || name.ends_with(".cue");
    });
    EXPECT_EQ(tracks, (std::vector<std::string>{"Track1.wav", "Track2.wav", "Track3.wav"}));
    // The files are the copies', which are right.
    for (int track = 1; track <= kTracks; ++track)
        EXPECT_EQ(FfmpegDecode(Output("Track" + std::to_string(track) + ".wav")), TrackBytes(track))
            << track;
    for (int row : {0, 1})
        EXPECT_FALSE(Rows().Verdict(row).contains(QStringLiteral("可疑")))
            << Rows().Verdict(row).toStdString();
    EXPECT_TRUE(Rows().Verdict(2).endsWith(QStringLiteral("；测试与复制 CRC 不一致；可疑")))
        << Rows().Verdict(2).toStdString();
    ASSERT_EQ(host_.Summaries.size(), 1u);
    EXPECT_EQ(host_.Summaries[0].Ripped, kTracks);
    EXPECT_EQ(host_.Summaries[0].Proven, 2);
    EXPECT_EQ(host_.Summaries[0].Suspicious, 1);
}

TEST_P(TestAndCopyTest, OldDriveModeReadsEveryPassSoAndTheLogNamesIt)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    Write(key::kReadingMode, QStringLiteral("oldDrive"));
    discDrive_ = FakeDrive::kDrive;
    Ready(GetParam());

    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(drive_.Counters().lastReadMode, CR_READ_OLD_DRIVE);
    EXPECT_EQ(drive_.Counters().fastOpenCalls, 0);
    EXPECT_EQ(drive_.Counters().secureOpenCalls, kTracks);
    for (int track = 1; track <= kTracks; ++track)
        EXPECT_EQ(FfmpegDecode(Output("Track" + std::to_string(track) + ".wav")), TrackBytes(track))
            << track;
    const std::vector<std::string> files = FilesLeft();
    const auto logFile = std::find_if(
        files.begin(), files.end(), [](const std::string& name) { return name.ends_with(".log"); });
    ASSERT_NE(logFile, files.end());
    const std::vector<std::uint8_t> bytes = ReadFileBytes(Output(*logFile));
    const std::string log(bytes.begin(), bytes.end());
    EXPECT_NE(log.find("读取模式: 旧光驱模式"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(BothQueues, TestAndCopyTest, ::testing::Values(true, false), QueueName);

} // namespace
} // namespace sonfeld::test
