#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/tools.h"
#include "wave_test_util.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

void ExpectPcmHeader(const std::vector<std::uint8_t>& f, std::uint32_t dataSize, int channels,
                     int rate, int bits)
{
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(Tag(f, 0), "RIFF");
    EXPECT_EQ(U32(f, 4), dataSize + 36);
    EXPECT_EQ(Tag(f, 8), "WAVE");
    EXPECT_EQ(Tag(f, 12), "fmt ");
    EXPECT_EQ(U32(f, 16), 16u);
    EXPECT_EQ(U16(f, 20), 1);
    EXPECT_EQ(U16(f, 22), channels);
    EXPECT_EQ(U32(f, 24), static_cast<std::uint32_t>(rate));
    const int align = bits * channels / 8;
    EXPECT_EQ(U32(f, 28), static_cast<std::uint32_t>(rate * align));
    EXPECT_EQ(U16(f, 32), align);
    EXPECT_EQ(U16(f, 34), bits);
    EXPECT_EQ(Tag(f, 36), "data");
    EXPECT_EQ(U32(f, 40), dataSize);
}

} // namespace

TEST(WaveOutPcm, RoundTripIsByteExactAndReadableByFfmpeg)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 3 * 44100 + 17);
    const auto file = dir / "a.wav";
    const auto run = WriteWave(file, pcm, wtPCM);
    ASSERT_EQ(run.done, 1) << run.error;
    const auto bytes = ReadFileBytes(file);
    ExpectPcmHeader(bytes, static_cast<std::uint32_t>(pcm.size()), 2, 44100, 16);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), bytes.begin() + 44));
    EXPECT_EQ(bytes.size(), 44 + pcm.size());
    EXPECT_EQ(FfmpegDecode(file), pcm);
}

TEST(WaveOutPcm, UnknownSizeIsFixedWhenTheRunEnds)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Sine, 10000);
    const auto run = WriteWave(dir / "u.wav", pcm, wtPCM, 2, 16, false);
    ASSERT_EQ(run.done, 1) << run.error;
    const auto bytes = ReadFileBytes(dir / "u.wav");
    ExpectPcmHeader(bytes, static_cast<std::uint32_t>(pcm.size()), 2, 44100, 16);
}

TEST(WaveOutPcm, EmptyInputGivesA44ByteFile)
{
    TempDir dir;
    ASSERT_EQ(WriteWave(dir / "e.wav", {}, wtPCM).done, 1);
    const auto bytes = ReadFileBytes(dir / "e.wav");
    EXPECT_EQ(bytes.size(), 44u);
    ExpectPcmHeader(bytes, 0, 2, 44100, 16);
}

TEST(WaveOutPcm, OtherBitDepthsAreWrittenAsTheyCome)
{
    TempDir dir;
    std::vector<std::uint8_t> eight(3000);
    for (std::size_t i = 0; i < eight.size(); ++i)
        eight[i] = static_cast<std::uint8_t>(128 + 100 * ((i / 20) % 2 ? 1 : -1));
    ASSERT_EQ(WriteWave(dir / "8.wav", eight, wtPCM, 1, 8, true, foRewrite, 22050).done, 1);
    auto bytes = ReadFileBytes(dir / "8.wav");
    ExpectPcmHeader(bytes, 3000, 1, 22050, 8);
    std::vector<std::uint8_t> twentyFour(6 * 1000, 0x11);
    ASSERT_EQ(WriteWave(dir / "24.wav", twentyFour, wtPCM, 2, 24).done, 1);
    bytes = ReadFileBytes(dir / "24.wav");
    ExpectPcmHeader(bytes, 6000, 2, 44100, 24);
    EXPECT_EQ(FfprobeValue(dir / "24.wav", "bits_per_sample"), "24");
}

TEST(WaveOutAdpcm, CdHeaderHoldsTheExpectedFormat)
{
    TempDir dir;
    const int frames = 44100 * 2;
    const auto pcm = MakePcm(Signal::Music, frames);
    const auto file = dir / "a.wav";
    ASSERT_EQ(WriteWave(file, pcm, wtDVIADPCM).done, 1);
    const auto f = ReadFileBytes(file);
    const std::uint32_t blocks = frames / 505 + 1;
    ASSERT_EQ(f.size(), 60 + blocks * 512);
    EXPECT_EQ(Tag(f, 0), "RIFF");
    EXPECT_EQ(U32(f, 4), blocks * 512 + 52);
    EXPECT_EQ(U32(f, 16), 20u);
    EXPECT_EQ(U16(f, 20), 17);
    EXPECT_EQ(U16(f, 22), 2);
    EXPECT_EQ(U32(f, 24), 44100u);
    EXPECT_EQ(U32(f, 28), 44544u);
    EXPECT_EQ(U16(f, 32), 512);
    EXPECT_EQ(U16(f, 34), 4);
    EXPECT_EQ(U16(f, 36), 2);
    EXPECT_EQ(U16(f, 38), 505);
    EXPECT_EQ(Tag(f, 40), "fact");
    EXPECT_EQ(U32(f, 44), 4u);
    EXPECT_EQ(U32(f, 48), static_cast<std::uint32_t>(frames));
    EXPECT_EQ(Tag(f, 52), "data");
    EXPECT_EQ(U32(f, 56), blocks * 512);
    // ffprobe accepts it with the right length (whole blocks are decoded).
    EXPECT_EQ(FfprobeValue(file, "codec_name"), "adpcm_ima_wav");
    const double duration = std::stod(FfprobeValue(file, "format=duration"));
    EXPECT_NEAR(duration, static_cast<double>(frames) / 44100, 506.0 / 44100);
}

TEST(WaveOutAdpcm, EmptyInputGivesOneBlockOfZeros)
{
    TempDir dir;
    ASSERT_EQ(WriteWave(dir / "e.wav", {}, wtDVIADPCM).done, 1);
    const auto f = ReadFileBytes(dir / "e.wav");
    ASSERT_EQ(f.size(), 60u + 512);
    EXPECT_EQ(U32(f, 48), 0u);
    EXPECT_EQ(U32(f, 56), 512u);
    EXPECT_TRUE(std::all_of(f.begin() + 60, f.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(WaveOutAdpcm, ExactMultipleOfABlockEndsWithAZeroBlock)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Sine, 505 * 4);
    ASSERT_EQ(WriteWave(dir / "m.wav", pcm, wtDVIADPCM).done, 1);
    const auto f = ReadFileBytes(dir / "m.wav");
    ASSERT_EQ(f.size(), 60u + 5 * 512);
    EXPECT_EQ(U32(f, 48), 505u * 4);
    // The last block is coded from zero samples: predictors 0, codes that
    // only walk the step index down.
    EXPECT_EQ(U16(f, 60 + 4 * 512), 0);
    EXPECT_EQ(U16(f, 60 + 4 * 512 + 4), 0);
}

TEST(WaveOutAdpcm, UnknownSizeFixesDataAndFact)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Sine, 3000, 1);
    ASSERT_EQ(WriteWave(dir / "u.wav", pcm, wtDVIADPCM, 1, 16, false).done, 1);
    const auto f = ReadFileBytes(dir / "u.wav");
    const std::uint32_t blocks = 3000 / 1017 + 1;
    ASSERT_EQ(f.size(), 60 + blocks * 512);
    EXPECT_EQ(U16(f, 38), 1017);
    EXPECT_EQ(U32(f, 56), blocks * 512);
    EXPECT_EQ(U32(f, 48), blocks * 1017);
    EXPECT_EQ(U32(f, 4), f.size() - 8);
}

TEST(WaveOutAdpcm, RefusesWhatTheBlockLayoutCannotHold)
{
    TempDir dir;
    auto run = WriteWave(dir / "8.wav", std::vector<std::uint8_t>(100, 0), wtDVIADPCM, 2, 8);
    EXPECT_EQ(run.error, "Cannot encode 8 bit sound into ADPCM.");
    run = WriteWave(dir / "24.wav", std::vector<std::uint8_t>(120, 0), wtDVIADPCM, 2, 24);
    EXPECT_EQ(run.error, "Cannot encode 8 bit sound into ADPCM.");
    run = WriteWave(dir / "3ch.wav", std::vector<std::uint8_t>(600, 0), wtDVIADPCM, 3, 16);
    EXPECT_EQ(run.errors, 1);
    EXPECT_NE(run.error.find("channels"), std::string::npos) << run.error;
    run = WriteWave(dir / "bs.wav", std::vector<std::uint8_t>(600, 0), wtDVIADPCM, 2, 16, true,
                    foRewrite, 44100, 12);
    EXPECT_EQ(run.errors, 1);
    EXPECT_NE(run.error.find("block size 12"), std::string::npos) << run.error;
    EXPECT_EQ(std::filesystem::file_size(dir / "bs.wav"), 0u);
}

TEST(WaveOut, SettersFollowTheirRules)
{
    TWaveOut output;
    EXPECT_EQ(output.WavType(), wtPCM);
    EXPECT_EQ(output.BlockSize(), 512);
    output.SetWavType(wtMSADPCM);
    output.SetWavType(wtACM);
    EXPECT_EQ(output.WavType(), wtPCM);
    output.SetWavType(wtDVIADPCM);
    EXPECT_EQ(output.WavType(), wtDVIADPCM);
    output.SetBlockSize(0);
    output.SetBlockSize(510);
    EXPECT_EQ(output.BlockSize(), 512);
    output.SetBlockSize(1024);
    EXPECT_EQ(output.BlockSize(), 1024);
    output.SetFileMode(foAppend);
    EXPECT_EQ(output.FileMode(), foAppend);
}

TEST(WaveOut, SettersAreIgnoredDuringARun)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Sine, 44100));
    input.maxChunk = 64;
    TWaveOut output;
    output.SetInput(&input);
    output.SetFileName((dir / "busy.wav").string());
    output.SetDelay(10);
    OutputRunner runner(output);
    output.Run();
    output.SetWavType(wtDVIADPCM);
    output.SetBlockSize(1024);
    EXPECT_EQ(output.WavType(), wtPCM);
    EXPECT_EQ(output.BlockSize(), 512);
    output.Stop();
    ASSERT_TRUE(runner.WaitForEnds(1));
}

TEST(WaveOut, MissingFileNameIsRefused)
{
    TMemoryInput input(MakePcm(Signal::Sine, 10));
    TWaveOut output;
    output.SetInput(&input);
    OutputRunner runner(output);
    output.Run();
    EXPECT_EQ(runner.LastError(), "File name is not assigned.");
    EXPECT_FALSE(input.Busy());
}

TEST(WaveOut, FullDiskEndsTheRunWithAnErrorNamingTheFile)
{
    for (TWavType type : {wtPCM, wtDVIADPCM}) {
        const auto run = WriteWave("/dev/full", MakePcm(Signal::Noise, 44100 * 3), type);
        EXPECT_EQ(run.done, 0);
        ASSERT_EQ(run.errors, 1);
        EXPECT_EQ(run.error, "Cannot write to file \"/dev/full\". No space left on device");
    }
}

TEST(WaveOut, UnwritableFolderIsReportedWithTheSystemsReason)
{
    const auto run = WriteWave("/nonexistent-folder/a.wav", MakePcm(Signal::Sine, 10), wtPCM);
    EXPECT_EQ(run.error,
              "Cannot create file \"/nonexistent-folder/a.wav\". No such file or directory");
}
