// Encodes through the real libopusenc; opusinfo, opusdec and ffmpeg read the
// files, and our own reading of the Ogg pages checks the gapless fields.
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "audio/core/acs_exception.h"
#include "audio/formats/opus/opus_out.h"
#include "support/file_run.h"
#include "support/missing_library.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

// The gapless fields of an Ogg Opus file: the pre-skip of its head packet and
// the granule position of its last page, read straight from the bytes.
struct OpusGapless {
    int preSkip = -1;
    std::int64_t lastGranule = -1;
    bool lastPageEndsStream = false;
};

OpusGapless ReadGapless(const std::filesystem::path& file)
{
    const auto bytes = ReadFileBytes(file);
    OpusGapless result;
    std::size_t at = 0;
    while (at + 27 <= bytes.size() &&
           std::string(bytes.begin() + at, bytes.begin() + at + 4) == "OggS") {
        std::int64_t granule = 0;
        for (int i = 7; i >= 0; --i)
            granule = (granule << 8) | bytes[at + 6 + i];
        const int segments = bytes[at + 26];
        std::size_t body = 0;
        for (int i = 0; i < segments; ++i)
            body += bytes[at + 27 + i];
        const std::size_t start = at + 27 + segments;
        if (result.preSkip < 0 && body >= 19 &&
            std::string(bytes.begin() + start, bytes.begin() + start + 8) == "OpusHead")
            result.preSkip = bytes[start + 10] | (bytes[start + 11] << 8);
        result.lastGranule = granule;
        result.lastPageEndsStream = (bytes[at + 5] & 4) != 0;
        at = start + body;
    }
    EXPECT_EQ(at, bytes.size()) << "bytes after the last page";
    return result;
}

// Frames of 16-bit PCM that opusdec gives at 48 kHz.
std::size_t OpusdecFrames(const std::filesystem::path& file, int channels)
{
    const auto raw = file.string() + ".raw";
    if (RunCommand("opusdec --quiet --rate 48000 " + ShellQuote(file.string()) + " " +
                   ShellQuote(raw)) != 0)
        return 0;
    return ReadFileBytes(raw).size() / (2 * static_cast<std::size_t>(channels));
}

class OpusOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("opusinfo") || !ToolAvailable("opusdec") || !ToolAvailable("ffmpeg"))
            GTEST_SKIP() << "opus-tools or ffmpeg missing";
    }

    TempDir dir;
};

// A CD track's frames at 44.1 kHz come back as exactly as many 48 kHz frames
// as last as long (within the one frame a granule position can tell), from
// three independent readers; the sound is the source's.
TEST_F(OpusOut, CdAudioDecodesToTheTracksLengthAt48kHz)
{
    for (const int frames : {44100 * 4 + 587, 1000, 0}) {
        SCOPED_TRACE(frames);
        const auto pcm = MakePcm(Signal::Music, frames, 2);
        TMemoryInput input(pcm);
        TOpusOut output;
        const auto file = dir / ("track" + std::to_string(frames) + ".opus");
        const auto run = RunToFile(output, input, file);
        ASSERT_EQ(run.done, 1) << run.error;
        ASSERT_EQ(run.errors, 0) << run.error;

        std::string info;
        EXPECT_EQ(RunCommand("opusinfo " + ShellQuote(file.string()) + " 2>&1", &info), 0) << info;
        EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
        EXPECT_NE(info.find("Original sample rate: 44100"), std::string::npos) << info;

        const OpusGapless gapless = ReadGapless(file);
        EXPECT_GT(gapless.preSkip, 0);
        EXPECT_TRUE(gapless.lastPageEndsStream);
        const double exact = frames * 48000.0 / 44100.0;
        const std::int64_t length = gapless.lastGranule - gapless.preSkip;
        EXPECT_LE(std::abs(static_cast<double>(length) - exact), 1.0) << length << " vs " << exact;

        EXPECT_EQ(OpusdecFrames(file, 2), static_cast<std::size_t>(length));
        if (frames > 0) {
            const auto decoded = FfmpegDecode(file);
            EXPECT_EQ(decoded.size() / 4, static_cast<std::size_t>(length));
            EXPECT_EQ(FfprobeValue(file, "codec_name"), "opus");
            EXPECT_EQ(FfprobeValue(file, "channels"), "2");
        }
        if (frames > 44100) {
            // Back at the source's rate the sound lines up with the source.
            const auto at441 = file.string() + ".s16";
            ASSERT_EQ(RunCommand("ffmpeg -v error -y -i " + ShellQuote(file.string()) +
                                 " -ar 44100 -f s16le " + ShellQuote(at441)),
                      0);
            const auto resampled = ReadFileBytes(at441);
            EXPECT_NEAR(static_cast<double>(resampled.size()), static_cast<double>(pcm.size()),
                        8.0);
            EXPECT_GT(Correlation(FromBytes(pcm), FromBytes(resampled)), 0.95);
        }
    }
}

// The bit rate is an average the encoder aims at: the extremes give files of
// clearly different sizes near their rate, and a rate out of range is refused
// before an existing file is touched.
TEST_F(OpusOut, BitRateSetsTheAverageAndOutOfRangeIsRefused)
{
    const int seconds = 6;
    const auto pcm = MakePcm(Signal::Music, 44100 * seconds, 2);
    for (const int kbps : {TOpusOut::kMinBitRate, TOpusOut::kMaxBitRate}) {
        TMemoryInput input(pcm);
        TOpusOut output;
        output.SetBitRate(kbps);
        const auto file = dir / ("rate" + std::to_string(kbps) + ".opus");
        ASSERT_EQ(RunToFile(output, input, file).done, 1);
        const double kbpsMeasured = ReadFileBytes(file).size() * 8.0 / 1000.0 / seconds;
        EXPECT_GT(kbpsMeasured, kbps * 0.6) << kbps;
        EXPECT_LT(kbpsMeasured, kbps * 1.4) << kbps;
    }
    for (const int kbps : {TOpusOut::kMinBitRate - 1, TOpusOut::kMaxBitRate + 1}) {
        const auto file = dir / "kept.opus";
        WriteFileBytes(file, {1, 2, 3});
        TMemoryInput input(pcm);
        TOpusOut output;
        output.SetBitRate(kbps);
        const auto run = RunToFile(output, input, file);
        EXPECT_EQ(run.errors, 1);
        EXPECT_NE(run.error.find("Opus bit rate"), std::string::npos) << run.error;
        EXPECT_EQ(ReadFileBytes(file), (std::vector<std::uint8_t>{1, 2, 3}));
    }
}

// A stopped run still ends its stream: the file is a whole Opus file that
// plays up to where it was stopped.
TEST_F(OpusOut, AStoppedRunLeavesAFileThatEnds)
{
    const auto pcm = MakePcm(Signal::Sine, 44100 * 4, 2);
    TMemoryInput input(pcm);
    input.holdAt = 44100 * 4; // one second in
    TOpusOut output;
    const auto file = dir / "stopped.opus";
    const FileRun run = StopAtHold(output, input, file);
    ASSERT_EQ(run.done, 1) << run.error;
    std::string info;
    EXPECT_EQ(RunCommand("opusinfo " + ShellQuote(file.string()) + " 2>&1", &info), 0) << info;
    EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
    const OpusGapless gapless = ReadGapless(file);
    EXPECT_TRUE(gapless.lastPageEndsStream);
    const std::size_t frames = OpusdecFrames(file, 2);
    EXPECT_GE(frames, 48000u);
    EXPECT_LT(frames, 48000u * 4);
}

TEST(OpusOutLibrary, AMissingLibraryIsNamedWhenTheOutputIsCreated)
{
    TempDir dir;
    ExpectOutputRefusedByEmptyStandIn<OpusEncEntryPoints, TOpusOut>(dir / "libopusenc.so.0");
    EXPECT_TRUE(LoadBinding<OpusEncEntryPoints>());
    EXPECT_NO_THROW(TOpusOut());
}

} // namespace
} // namespace sonfeld::test
