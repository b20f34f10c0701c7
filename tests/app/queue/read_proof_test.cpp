// What a row says about the proof of its audio, through the fake CR_ library
// with no database to ask: reads that agree end "完成转换", reads that differ
// end "完成 (可疑)" with the secure read kept, a read nothing proves ends
// "完成 (未证实)", in both queues.

#include <QTextStream>

#include <cstdio>

#include "app/cli/command_line.h"
#include "app/cli/command_line_options.h"
#include "app/settings/setting_keys.h"
#include "app/text/texts.h"
#include "queue_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

// The CRC-32 (IEEE) of bytes, worked out bit by bit, apart from the program's own.
quint32 Crc32Of(const std::vector<std::uint8_t>& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Hex(quint32 value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

class ReadProofTest : public QueueTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadProofTest, ReadsThatDifferEndSuspiciousKeepTheSecureReadAndAreNotRippedAgain)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    // Two sectors of track 1, which is read fast before the lookup can
    // answer, come out wrong from a fast read and right from a secure one.
    const std::int32_t unstable[] = {kStarts[0] + 10, kStarts[0] + 150};
    drive_.Unstable(unstable, 2);
    Write(key::kReadingMode, QStringLiteral("fastVerify"));
    discDrive_ = FakeDrive::kDrive;
    Ready(GetParam());
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    ASSERT_TRUE(WaitUntilIdle());

    // No database answers: the rest is read securely, and its passes agree.
    for (int row : {1, 2}) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::Converted) << row;
        EXPECT_EQ(Rows().StatusText(row), QStringLiteral("完成转换")) << row;
    }
    EXPECT_EQ(Rows().Status(0), TTrackStatus::ConvertedSuspicious);
    EXPECT_EQ(Rows().StatusText(0), QStringLiteral("完成 (可疑)"));
    EXPECT_TRUE(Rows().Verdict(0).endsWith(QStringLiteral("可疑")))
        << Rows().Verdict(0).toStdString();
    // The kept file is the secure read.
    EXPECT_TRUE(FfmpegDecode(Output("Track1.wav")) == TrackBytes(1));
    std::vector<std::uint8_t> fast = TrackBytes(1);
    for (std::int32_t sector : unstable)
        for (std::size_t k = 0; k < 2352; ++k) {
            std::uint8_t& byte = fast[static_cast<std::size_t>(sector) * 2352 + k];
            byte = FakeCR_WrongByte(byte);
        }
    const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("复制 CRC32: " + Hex(Crc32Of(TrackBytes(1)))), std::string::npos) << text;
    EXPECT_NE(text.find("另一次读取 CRC32: " + Hex(Crc32Of(fast)) + " (不一致)"), std::string::npos)
        << text;
    ASSERT_EQ(host_.Summaries.size(), 1u);
    EXPECT_EQ(host_.Summaries[0].Suspicious, 1);
    EXPECT_EQ(host_.Summaries[0].Proven, 2);
    EXPECT_EQ(host_.Summaries[0].Unproven, 0);

    // A suspicious row is a finished one: the next rip leaves it as it is.
    const int opens = drive_.Counters().openRipperCalls;
    PressRip();
    EXPECT_EQ(host_.Count(text::kNothingToRip), 1);
    EXPECT_EQ(drive_.Counters().openRipperCalls, opens);
    EXPECT_EQ(Rows().Status(0), TTrackStatus::ConvertedSuspicious);
}

TEST_P(ReadProofTest, ReadsNothingProvesEndUnprovenAndAreCountedSo)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    // Secure reads whose reader cannot say that its passes agreed, of a disc
    // no database answers for, read once each: nothing proves them.
    drive_.ReportsProof(0);
    Write(key::kReadingMode, QStringLiteral("secure"));
    discDrive_ = FakeDrive::kDrive;
    Ready(GetParam());
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    ASSERT_TRUE(WaitUntilIdle());

    for (int row = 0; row < kTracks; ++row) {
        EXPECT_EQ(Rows().Status(row), TTrackStatus::ConvertedUnproven) << row;
        EXPECT_EQ(Rows().StatusText(row), QStringLiteral("完成 (未证实)")) << row;
        EXPECT_TRUE(FfmpegDecode(Output("Track" + std::to_string(row + 1) + ".wav")) ==
                    TrackBytes(row + 1))
            << row;
    }
    EXPECT_EQ(host_.Count(text::kAllDone), 0);
    ASSERT_EQ(host_.Summaries.size(), 1u);
    EXPECT_EQ(host_.Summaries[0].Ripped, kTracks);
    EXPECT_EQ(host_.Summaries[0].Unproven, kTracks);
    EXPECT_EQ(host_.Summaries[0].Proven, 0);
    EXPECT_EQ(host_.Summaries[0].Suspicious, 0);
    EXPECT_FALSE(host_.Summaries[0].Clean());
    const std::vector<std::uint8_t> log = ReadFileBytes(Output("rip.log"));
    EXPECT_NE(std::string(log.begin(), log.end()).find("未经证实"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothQueues, ReadProofTest, ::testing::Values(true, false), QueueName);

class UnprovenCommandLineTest : public QueueTest {};

// The command line rips such reads too, and says it with its exit code.
TEST_F(UnprovenCommandLineTest, ReadsNothingProvesFailTheRip)
{
    if (!drive_.Load())
        GTEST_SKIP() << FakeDrive::kMissing;
    drive_.ReportsProof(0);
    Write(key::kReadingMode, QStringLiteral("secure"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int exitCode = RunCommandLine(
        ParseCommandLine({"--rip", "--drive", QString::number(FakeDrive::kDrive), "--format", "wav",
                          "--out", QString::fromStdString(outDir_.string())}),
        outStream, errStream);
    EXPECT_EQ(exitCode, 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("%1 ripped track(s) not proven by a database or by "
                                            "two reads that agree.")
                                 .arg(kTracks)))
        << err.toStdString();
    for (int track = 1; track <= kTracks; ++track)
        EXPECT_TRUE(FfmpegDecode(Output("Track" + std::to_string(track) + ".wav")) ==
                    TrackBytes(track))
            << track;
}

} // namespace
} // namespace sonfeld::test
