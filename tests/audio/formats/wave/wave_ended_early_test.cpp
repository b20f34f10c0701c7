#include <string>

#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/tools.h"
#include "wave_test_util.h"

using namespace sonfeld;
using namespace sonfeld::test;

// A run that ends before the input does (a read failure, a stop) leaves a
// header that describes the bytes present, not the size the input announced.

namespace {

constexpr std::uint32_t kTenSeconds = 10 * 44100 * 4;

// The duration ffprobe gives, against the one the data present stands for.
void ExpectFfprobeDuration(const std::filesystem::path& file, double seconds)
{
    if (!ToolAvailable("ffprobe"))
        return;
    const std::string duration = FfprobeValue(file, "format=duration");
    ASSERT_FALSE(duration.empty());
    EXPECT_NEAR(std::stod(duration), seconds, 0.0005) << duration;
}

} // namespace

TEST(WaveOutEndedEarly, FailedPcmRunClaimsOnlyTheBytesWritten)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Music, 10 * 44100));
    input.failAfter = 1000;
    TWaveOut output;
    const auto file = dir / "failed.wav";
    const auto run = RunToFile(output, input, file);
    ASSERT_EQ(run.errors, 1) << run.error;
    const auto bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 44u + 1000u);
    EXPECT_EQ(U32(bytes, 4), 36u + 1000u);
    EXPECT_EQ(U32(bytes, 40), 1000u);
    ExpectFfprobeDuration(file, 1000.0 / (44100 * 4));
}

TEST(WaveOutEndedEarly, StoppedPcmRunClaimsOnlyTheBytesWritten)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Music, 10 * 44100));
    input.maxChunk = 4000;
    input.holdAt = 40000;
    TWaveOut output;
    ASSERT_EQ(StopAtHold(output, input, dir / "stopped.wav").done, 1);
    const auto bytes = ReadFileBytes(dir / "stopped.wav");
    ASSERT_GE(bytes.size(), 44u + 40000u);
    ASSERT_LT(bytes.size(), 44u + kTenSeconds);
    EXPECT_EQ(U32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(U32(bytes, 40), bytes.size() - 44);
}

TEST(WaveOutEndedEarly, FailedAdpcmRunCountsOnlyTheBlocksWritten)
{
    TempDir dir;
    // Stereo blocks of 512 bytes hold 505 frames (2020 PCM bytes): two whole
    // blocks are written before the read fails inside the third.
    TMemoryInput input(MakePcm(Signal::Music, 10 * 44100));
    input.failAfter = 5000;
    TWaveOut output;
    output.SetWavType(wtDVIADPCM);
    const auto file = dir / "failed-adpcm.wav";
    const auto run = RunToFile(output, input, file);
    ASSERT_EQ(run.errors, 1) << run.error;
    const auto bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 60u + 2 * 512u);
    EXPECT_EQ(U32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(U32(bytes, 48), 2 * 505u); // fact: frames present
    EXPECT_EQ(U32(bytes, 56), 2 * 512u);
    ExpectFfprobeDuration(file, 2 * 505.0 / 44100);
}
