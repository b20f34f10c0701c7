#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/tools.h"
#include "wave_test_util.h"

using namespace sonfeld;
using namespace sonfeld::test;

TEST(WaveOutAppend, MissingOrEmptyFileGetsAFullHeader)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Sine, 1000);
    ASSERT_EQ(WriteWave(dir / "new.wav", pcm, wtPCM, 2, 16, true, foAppend).done, 1);
    auto f = ReadFileBytes(dir / "new.wav");
    ASSERT_EQ(f.size(), 44 + pcm.size());
    EXPECT_EQ(U32(f, 40), pcm.size());
    EXPECT_EQ(U32(f, 4), f.size() - 8);

    WriteFileBytes(dir / "empty.wav", {});
    ASSERT_EQ(WriteWave(dir / "empty.wav", pcm, wtPCM, 2, 16, true, foAppend).done, 1);
    f = ReadFileBytes(dir / "empty.wav");
    EXPECT_EQ(f.size(), 44 + pcm.size());
    EXPECT_EQ(FfmpegDecode(dir / "empty.wav"), pcm);
}

TEST(WaveOutAppend, PcmAppendsAndFixesSizes)
{
    TempDir dir;
    const auto first = MakePcm(Signal::Sine, 3000);
    const auto second = MakePcm(Signal::Music, 2000);
    ASSERT_EQ(WriteWave(dir / "a.wav", first, wtPCM).done, 1);
    ASSERT_EQ(WriteWave(dir / "a.wav", second, wtPCM, 2, 16, true, foAppend).done, 1);
    const auto f = ReadFileBytes(dir / "a.wav");
    ASSERT_EQ(f.size(), 44 + first.size() + second.size());
    EXPECT_EQ(U32(f, 40), f.size() - 44);
    EXPECT_EQ(U32(f, 4), f.size() - 8);
    auto both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(FfmpegDecode(dir / "a.wav"), both);
}

TEST(WaveOutAppend, LowerCaseIdentifiersAndExtraChunksAreRecognised)
{
    TempDir dir;
    const auto first = MakePcm(Signal::Sine, 100);
    // riff/wave/fmt/list/data in lower case, with a LIST chunk before data.
    std::vector<std::uint8_t> f = {'r', 'i', 'f',  'f',  0,   0,   0,    0,    'w', 'a', 'v',
                                   'e', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                   0,   16,  0,    'l',  'i', 's', 't',  3,    0,   0,   0,
                                   'a', 'b', 'c',  'd',  'a', 't', 'a',  0,    0,   0,   0};
    const std::size_t dataStart = f.size();
    f[dataStart - 4] = static_cast<std::uint8_t>(first.size());
    f[dataStart - 3] = static_cast<std::uint8_t>(first.size() >> 8);
    f.insert(f.end(), first.begin(), first.end());
    WriteFileBytes(dir / "l.wav", f);
    const auto second = MakePcm(Signal::Noise, 50);
    ASSERT_EQ(WriteWave(dir / "l.wav", second, wtPCM, 2, 16, true, foAppend).done, 1);
    const auto after = ReadFileBytes(dir / "l.wav");
    ASSERT_EQ(after.size(), f.size() + second.size());
    EXPECT_EQ(U32(after, dataStart - 4), first.size() + second.size());
    EXPECT_EQ(U32(after, 4), after.size() - 8);
    EXPECT_TRUE(
        std::equal(second.begin(), second.end(), after.begin() + static_cast<long>(f.size())));
}

TEST(WaveOutAppend, DifferentFormatIsRefusedAndTheFileLeftAlone)
{
    TempDir dir;
    ASSERT_EQ(WriteWave(dir / "a.wav", MakePcm(Signal::Sine, 100), wtPCM).done, 1);
    const auto before = ReadFileBytes(dir / "a.wav");
    auto run =
        WriteWave(dir / "a.wav", MakePcm(Signal::Sine, 100), wtPCM, 2, 16, true, foAppend, 48000);
    EXPECT_EQ(run.error, "Cannot append data in different audio format.");
    run = WriteWave(dir / "a.wav", MakePcm(Signal::Sine, 100, 1), wtPCM, 1, 16, true, foAppend);
    EXPECT_EQ(run.error, "Cannot append data in different audio format.");
    EXPECT_EQ(ReadFileBytes(dir / "a.wav"), before);
}

TEST(WaveOutAppend, UnknownKindsAreRefused)
{
    TempDir dir;
    // Format tag 3 (floating point).
    std::vector<std::uint8_t> f = {'R', 'I', 'F',  'F',  36,  0,   0,    0,    'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   3,   0,
                                   2,   0,   0x44, 0xAC, 0,   0,   0x20, 0x62, 5,   0,   8,
                                   0,   32,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    WriteFileBytes(dir / "float.wav", f);
    auto run =
        WriteWave(dir / "float.wav", MakePcm(Signal::Sine, 10), wtPCM, 2, 16, true, foAppend);
    EXPECT_EQ(run.error, "Cannot append data to this .wav file.");
    EXPECT_EQ(ReadFileBytes(dir / "float.wav"), f);
    // IMA ADPCM without a fact chunk before data.
    std::vector<std::uint8_t> g = {'R',  'I',  'F',  'F', 40,  0,    0,   0,   'W', 'A', 'V', 'E',
                                   'f',  'm',  't',  ' ', 20,  0,    0,   0,   17,  0,   2,   0,
                                   0x44, 0xAC, 0,    0,   0,   0xAE, 0,   0,   0,   2,   4,   0,
                                   2,    0,    0xF9, 1,   'd', 'a',  't', 'a', 0,   0,   0,   0};
    WriteFileBytes(dir / "nofact.wav", g);
    run =
        WriteWave(dir / "nofact.wav", MakePcm(Signal::Sine, 10), wtDVIADPCM, 2, 16, true, foAppend);
    EXPECT_EQ(run.error, "Cannot append data to this .wav file.");
    // Not a WAV file at all.
    WriteFileBytes(dir / "text.wav", std::vector<std::uint8_t>(100, 'x'));
    run = WriteWave(dir / "text.wav", MakePcm(Signal::Sine, 10), wtPCM, 2, 16, true, foAppend);
    EXPECT_EQ(run.error, "Cannot append data to this .wav file.");
}

TEST(WaveOutAppend, AdpcmAppendsWholeBlocksAndFixesDataAndFact)
{
    TempDir dir;
    const auto file = dir / "a.wav";
    ASSERT_EQ(WriteWave(file, MakePcm(Signal::Sine, 1000), wtDVIADPCM).done, 1);
    // The appending output starts as PCM: the file's kind wins.
    ASSERT_EQ(WriteWave(file, MakePcm(Signal::Music, 2000), wtPCM, 2, 16, true, foAppend).done, 1);
    const auto f = ReadFileBytes(file);
    const std::uint32_t blocks = (1000 / 505 + 1) + (2000 / 505 + 1);
    ASSERT_EQ(f.size(), 60 + blocks * 512);
    EXPECT_EQ(U32(f, 56), blocks * 512);
    EXPECT_EQ(U32(f, 48), blocks * 505);
    EXPECT_EQ(U32(f, 4), f.size() - 8);
    const auto decoded = FfmpegDecode(file);
    EXPECT_EQ(decoded.size(), blocks * 505 * 4);
}
