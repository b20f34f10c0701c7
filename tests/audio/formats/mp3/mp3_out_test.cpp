#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/core/acs_exception.h"
#include "mp3_test_util.h"
#include "support/missing_library.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

constexpr int kRate = 44100;

std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& interleaved, int channel)
{
    std::vector<std::int16_t> out;
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += 2)
        out.push_back(interleaved[i]);
    return out;
}

} // namespace

TEST(Mp3Out, CdAudioDecodesToTheSourceLengthFormatAndSound)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 5 * kRate + 123);
    const auto file = dir / "a.mp3";
    const auto run = EncodeMp3(file, pcm);
    ASSERT_EQ(run.done, 1) << run.error;
    EXPECT_EQ(run.errors, 0);

    EXPECT_EQ(FfprobeValue(file, "codec_name"), "mp3");
    EXPECT_EQ(FfprobeValue(file, "sample_rate"), "44100");
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
    EXPECT_EQ(FfprobeValue(file, "bit_rate"), "128000");

    // The completed header frame lets the decoder drop the encoder's delay and
    // padding: exactly the source's samples come back, in time with it.
    const auto decoded = FfmpegDecode(file);
    ASSERT_EQ(decoded.size(), pcm.size());
    EXPECT_GT(Correlation(FromBytes(pcm), FromBytes(decoded)), 0.98);
    EXPECT_GT(SnrDb(FromBytes(pcm), FromBytes(decoded)), 15.0);
}

TEST(Mp3Out, EveryBitRateIsNamedAndMappedInOrder)
{
    const int expected[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                            96, 112, 128, 144, 160, 192, 224, 256, 320};
    for (int i = 0; i < 18; ++i) {
        const auto rate = static_cast<TMP3BitRate>(i);
        EXPECT_EQ(MP3BitRateKbps(rate), expected[i]);
        EXPECT_EQ(MP3BitRateName(rate), "br" + std::to_string(expected[i]));
    }
    EXPECT_EQ(static_cast<int>(TMP3BitRate::br320), 17);
    TMP3Out output;
    EXPECT_EQ(output.BitRate(), TMP3BitRate::br128);
}

TEST(Mp3Out, ChosenBitRateReachesTheFile)
{
    TempDir dir;
    const int frames = 2 * kRate;
    const auto pcm = MakePcm(Signal::Music, frames);
    // Below 112 kbit/s the library lowers the sample rate on its own.
    const struct {
        TMP3BitRate rate;
        int sampleRate;
    } cases[] = {
        {TMP3BitRate::br64, 24000}, {TMP3BitRate::br192, 44100}, {TMP3BitRate::br320, 44100}};
    for (const auto& c : cases) {
        const auto file = dir / ("r" + std::to_string(MP3BitRateKbps(c.rate)) + ".mp3");
        const auto run = EncodeMp3(file, pcm, 2, c.rate);
        ASSERT_EQ(run.done, 1) << run.error;
        EXPECT_EQ(FfprobeValue(file, "bit_rate"), std::to_string(MP3BitRateKbps(c.rate) * 1000));
        EXPECT_EQ(FfprobeValue(file, "sample_rate"), std::to_string(c.sampleRate));
        const long long decodedFrames = static_cast<long long>(FfmpegDecode(file).size() / 4);
        const long long expected = static_cast<long long>(frames) * c.sampleRate / kRate;
        EXPECT_LE(std::llabs(decodedFrames - expected), 2) << decodedFrames << " vs " << expected;
    }
}

TEST(Mp3Out, MonoInputBecomesTwoIdenticalChannels)
{
    TempDir dir;
    const auto mono = MakePcm(Signal::Music, 3 * kRate + 5, 1);
    const auto file = dir / "m.mp3";
    const auto run = EncodeMp3(file, mono, 1);
    ASSERT_EQ(run.done, 1) << run.error;
    EXPECT_EQ(FfprobeValue(file, "channels"), "2");
    const auto decoded = FromBytes(FfmpegDecode(file));
    ASSERT_EQ(decoded.size(), 2 * (mono.size() / 2));
    const auto left = Channel(decoded, 0);
    const auto right = Channel(decoded, 1);
    int largest = 0;
    for (std::size_t i = 0; i < left.size(); ++i)
        largest = std::max(largest, std::abs(left[i] - right[i]));
    EXPECT_LE(largest, 1);
    EXPECT_GT(Correlation(FromBytes(mono), left), 0.98);
}

TEST(Mp3Out, ShortReadsSplittingFramesGiveTheSameFile)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 2 * kRate + 7);
    ASSERT_EQ(EncodeMp3(dir / "whole.mp3", pcm).done, 1);
    // 1001 bytes: most reads end inside a frame, some inside a sample.
    ASSERT_EQ(EncodeMp3(dir / "short.mp3", pcm, 2, TMP3BitRate::br128, 1001).done, 1);
    ASSERT_EQ(EncodeMp3(dir / "unknown.mp3", pcm, 2, TMP3BitRate::br128, 0, false).done, 1);
    const auto whole = ReadFileBytes(dir / "whole.mp3");
    ASSERT_FALSE(whole.empty());
    EXPECT_TRUE(ReadFileBytes(dir / "short.mp3") == whole);
    EXPECT_EQ(FfmpegDecode(dir / "unknown.mp3").size(), pcm.size());
}

TEST(Mp3Out, EightBitInputIsWidened)
{
    TempDir dir;
    const auto wide = FromBytes(MakePcm(Signal::Music, 2 * kRate));
    std::vector<std::uint8_t> narrow(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i)
        narrow[i] = static_cast<std::uint8_t>((wide[i] >> 8) + 128);
    TMemoryInput input(narrow, kRate, 2, 8);
    TMP3Out output;
    const auto run = RunToFile(output, input, dir / "8.mp3");
    ASSERT_EQ(run.done, 1) << run.error;
    const auto decoded = FromBytes(FfmpegDecode(dir / "8.mp3"));
    ASSERT_EQ(decoded.size(), wide.size());
    EXPECT_GT(Correlation(wide, decoded), 0.95);
}

TEST(Mp3Out, EmptyInputGivesAFileWithoutAudio)
{
    TempDir dir;
    const auto file = dir / "empty.mp3";
    const auto run = EncodeMp3(file, {});
    ASSERT_EQ(run.done, 1) << run.error;
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(FfmpegDecode(file).empty());
}

TEST(Mp3Out, StopEndsTheRunWithAPlayableFile)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 60 * kRate);
    TMemoryInput input(pcm);
    input.maxChunk = 4096;
    TMP3Out output;
    output.SetInput(&input);
    output.SetFileName((dir / "s.mp3").string());
    OutputRunner runner(output);
    output.OnProgress = [&](TComponent*) {
        if (output.Progress() >= 5)
            output.Stop();
    };
    output.Run();
    ASSERT_TRUE(runner.WaitForEnds(1));
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(runner.errorCount, 0);
    const auto decoded = FfmpegDecode(dir / "s.mp3");
    EXPECT_GT(decoded.size(), pcm.size() / 25);
    EXPECT_LT(decoded.size(), pcm.size() / 2);
    EXPECT_EQ(decoded.size(), static_cast<std::size_t>(input.Position()));
    EXPECT_EQ(input.closeCount.load(), 1);
}

TEST(Mp3Out, AlwaysRewritesAndCanBeRunAgain)
{
    TempDir dir;
    const auto file = dir / "again.mp3";
    WriteFileBytes(file, std::vector<std::uint8_t>(2'000'000, 0x55));
    TMP3Out output;
    output.SetFileMode(foAppend);
    EXPECT_EQ(output.FileMode(), foRewrite);
    const auto first = MakePcm(Signal::Sine, kRate);
    const auto second = MakePcm(Signal::Music, 2 * kRate);
    TMemoryInput a(first);
    TMemoryInput b(second);
    ASSERT_EQ(RunToFile(output, a, file).done, 1);
    EXPECT_EQ(FfmpegDecode(file).size(), first.size());
    ASSERT_EQ(RunToFile(output, b, file).done, 1);
    EXPECT_EQ(FfmpegDecode(file).size(), second.size());
    EXPECT_LT(std::filesystem::file_size(file), 200'000u);
}

TEST(Mp3OutFailure, FullDiskEndsTheRunThroughOnThreadException)
{
    // Both a long run (writes fail while encoding) and a short one (the only
    // writes happen when the file is completed).
    for (const int seconds : {20, 0}) {
        TMemoryInput input(MakePcm(Signal::Noise, seconds * kRate + 100));
        TMP3Out output;
        const auto run = RunToFile(output, input, "/dev/full");
        EXPECT_EQ(run.done, 0) << seconds;
        EXPECT_EQ(run.errors, 1) << seconds;
        EXPECT_NE(run.error.find("/dev/full"), std::string::npos) << run.error;
        EXPECT_FALSE(input.Busy());
        if (input.Size() > 1'000'000) {
            // The run ends at the first failed write, not after all was read.
            EXPECT_LT(input.Position(), input.Size() / 2);
        }
    }
}

TEST(Mp3OutFailure, FileNameAndInputFormatAreChecked)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Sine, 1000));
    TMP3Out output;
    auto run = RunToFile(output, input, "");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.error, "File name is not assigned.");
    EXPECT_FALSE(input.Busy());

    run = RunToFile(output, input, dir / "no" / "such" / "folder.mp3");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.error.rfind("Cannot create file \"", 0), 0u) << run.error;

    TMemoryInput surround(std::vector<std::uint8_t>(6000), kRate, 6, 16);
    run = RunToFile(output, surround, dir / "six.mp3");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.error, "MP3 output needs 8- or 16-bit PCM with one or two channels.");
    EXPECT_FALSE(surround.Busy());
}

TEST(Mp3OutLibrary, MissingLibraryIsNamedInTheMessage)
{
    ExpectOutputRefusedWhileBoundTo<LameEntryPoints, TMP3Out>("libmp3lame-missing.so.404");
    // A library that lacks the encoder's entry points is refused the same way.
    ExpectOutputRefusedWhileBoundTo<LameEntryPoints, TMP3Out>("libm.so.6");
    ASSERT_TRUE(LoadBinding<LameEntryPoints>());
    EXPECT_NO_THROW(TMP3Out());
}

// LAME's -V presets give variable bit rates that fall with the preset, and a
// completed Xing/LAME header: ffprobe takes the exact length from it, and
// ffmpeg and LAME's own decoder give back exactly the source's samples.
TEST(Mp3Out, VbrPresetsWriteAXingHeaderOfTheRightLength)
{
    if (!ToolAvailable("lame"))
        GTEST_SKIP() << "lame missing";
    TempDir dir;
    const int frames = 6 * kRate + 321;
    const auto pcm = MakePcm(Signal::Music, frames);
    std::uintmax_t lastSize = 0;
    for (const int preset : {0, 2, 4}) {
        SCOPED_TRACE(preset);
        TMemoryInput input(pcm);
        TMP3Out output;
        output.SetVbrQuality(preset);
        const auto file = dir / ("v" + std::to_string(preset) + ".mp3");
        const auto run = RunToFile(output, input, file);
        ASSERT_EQ(run.done, 1) << run.error;
        ASSERT_EQ(run.errors, 0) << run.error;

        const auto bytes = ReadFileBytes(file);
        const std::string text(bytes.begin(), bytes.end());
        const std::size_t xing = text.find("Xing");
        ASSERT_LT(xing, 64U) << "no VBR header in the first frame";
        const auto be32 = [&](std::size_t at) {
            return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
                   (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
        };
        ASSERT_EQ(be32(xing + 4) & 3U, 3U) << "frame and byte counts";
        const std::uint32_t mpegFrames = be32(xing + 8);
        EXPECT_EQ(be32(xing + 12), bytes.size()) << "the stream's byte count";
        // The LAME extension follows at a fixed place: delay and padding, 12 bits each.
        const std::size_t lame = xing + 120;
        ASSERT_EQ(text.substr(lame, 4), "LAME");
        const std::uint32_t delay =
            (std::uint32_t{bytes[lame + 21]} << 4) | (bytes[lame + 22] >> 4);
        const std::uint32_t padding = ((bytes[lame + 22] & 0x0FU) << 8) | bytes[lame + 23];
        // Counted frames less delay and padding: the source, to the sample.
        EXPECT_EQ(mpegFrames * 1152 - delay - padding, static_cast<std::uint32_t>(frames));
        if (lastSize > 0) {
            EXPECT_LT(bytes.size(), lastSize) << "a lower preset should give a smaller file";
        }
        lastSize = bytes.size();

        // ffprobe counts whole frames, from the header's count.
        const double duration = std::stod(FfprobeValue(file, "format=duration"));
        EXPECT_NEAR(duration, mpegFrames * 1152.0 / kRate, 0.0005);
        EXPECT_EQ(FfmpegDecode(file).size(), pcm.size());
        const auto wav = dir / ("v" + std::to_string(preset) + ".wav");
        ASSERT_EQ(RunCommand("lame --quiet --decode " + ShellQuote(file.string()) + " " +
                             ShellQuote(wav.string())),
                  0);
        EXPECT_EQ(ReadFileBytes(wav).size(), 44 + pcm.size());
    }
    // Out of range is refused before anything is written.
    TMemoryInput input(pcm);
    TMP3Out output;
    output.SetVbrQuality(10);
    const auto run = RunToFile(output, input, dir / "bad.mp3");
    EXPECT_EQ(run.errors, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.mp3"));
}
