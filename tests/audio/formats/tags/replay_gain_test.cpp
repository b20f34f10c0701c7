// ReplayGain 2.0 measured from the PCM as it is read, checked against
// ffmpeg's own EBU R128 meter; the album pass rewriting finished files, killed
// half-way; and a missing libebur128 taking only ReplayGain away.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "audio/core/acs_exception.h"
#include "audio/formats/tags/replay_gain.h"
#include "audio/formats/tags/replay_gain_tap.h"
#include "audio/formats/tags/tag_writer.h"
#include "support/memory_input.h"
#include "support/tools.h"
#include "tagged_files.h"

namespace sonfeld::test::tags {
namespace {

namespace fs = std::filesystem;

// CD audio made by ffmpeg from a lavfi source.
std::vector<std::uint8_t> Generated(const std::string& source, const fs::path& file)
{
    if (RunCommand("ffmpeg -v error -nostdin -y -f lavfi -i " + ShellQuote(source) +
                   " -ac 2 -ar 44100 -f s16le " + ShellQuote(file.string())) != 0)
        return {};
    return ReadFileBytes(file);
}

class ReplayGain : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("flac") || !ToolAvailable("metaflac"))
            GTEST_SKIP() << "ffmpeg or flac is not installed";
        ASSERT_TRUE(ReplayGainAvailable()) << ReplayGainMissingText();
    }

    TempDir dir_;
};

TEST_F(ReplayGain, TrackAndAlbumValuesAgreeWithFfmpegsMeter)
{
    const auto loud = Generated("sine=frequency=440:duration=7", dir_ / "loud.raw");
    const auto quiet =
        Generated("anoisesrc=color=pink:amplitude=0.2:duration=5:seed=7", dir_ / "quiet.raw");
    ASSERT_FALSE(loud.empty());
    ASSERT_FALSE(quiet.empty());
    std::vector<std::uint8_t> both = loud;
    both.insert(both.end(), quiet.begin(), quiet.end());
    WriteFileBytes(dir_ / "album.raw", both);

    ReplayGainMeter loudMeter;
    ReplayGainMeter quietMeter;
    // Blocks that cut frames in two, as a reader may hand them over.
    for (std::size_t at = 0; at < loud.size(); at += 1001)
        loudMeter.Add(loud.data() + at, std::min<std::size_t>(1001, loud.size() - at));
    quietMeter.Add(quiet.data(), quiet.size());

    for (const auto& [meter, raw] : std::vector<std::pair<const ReplayGainMeter*, std::string>>{
             {&loudMeter, "loud.raw"}, {&quietMeter, "quiet.raw"}}) {
        SCOPED_TRACE(raw);
        const FfmpegLoudness expected = MeasureLoudnessWithFfmpeg(dir_ / raw);
        const ReplayGainValues track = meter->Track();
        ASSERT_TRUE(track.valid);
        EXPECT_NEAR(track.gain, -18.0 - expected.loudness, 0.1);
        EXPECT_NEAR(20 * std::log10(track.peak), expected.peakDb, 0.1);
    }
    const FfmpegLoudness album = MeasureLoudnessWithFfmpeg(dir_ / "album.raw");
    const ReplayGainValues values = ReplayGainMeter::Album({&loudMeter, &quietMeter});
    ASSERT_TRUE(values.valid);
    EXPECT_NEAR(values.gain, -18.0 - album.loudness, 0.1);
    EXPECT_NEAR(20 * std::log10(values.peak), album.peakDb, 0.1);
    EXPECT_GT(values.gain, loudMeter.Track().gain); // the quiet track pulls the album up
    // Finished meters, as the album keeps them, give exactly the same values.
    const ReplayGainValues loudTrack = loudMeter.Track();
    loudMeter.Finish();
    quietMeter.Finish();
    EXPECT_EQ(loudMeter.Track().gain, loudTrack.gain);
    EXPECT_EQ(loudMeter.Track().peak, loudTrack.peak);
    const ReplayGainValues finished = ReplayGainMeter::Album({&loudMeter, &quietMeter});
    EXPECT_EQ(finished.gain, values.gain);
    EXPECT_EQ(finished.peak, values.peak);

    EXPECT_EQ(GainText(-6.4849), "-6.48 dB");
    EXPECT_EQ(PeakText(0.98852549), "0.988525");
    // Silence has no loudness to level.
    ReplayGainMeter silent;
    const std::vector<std::uint8_t> zeros(44100 * 4, 0);
    silent.Add(zeros.data(), zeros.size());
    EXPECT_FALSE(silent.Track().valid);
}

// Reads a run through the tap to its end, or to `stopAt` bytes; what came out.
std::vector<std::uint8_t> ReadThrough(TReplayGainTap& tap, std::size_t stopAt = SIZE_MAX)
{
    std::vector<std::uint8_t> out;
    tap.OpenInput();
    std::uint8_t block[4096];
    while (out.size() < stopAt) {
        const int count = tap.ReadPCM(block, sizeof block);
        if (count == 0)
            break;
        out.insert(out.end(), block, block + count);
    }
    tap.CloseInput();
    return out;
}

TEST_F(ReplayGain, TheTapMeasuresEachWholeRunAndPassesTheDataOn)
{
    const auto pcm =
        Generated("anoisesrc=color=pink:amplitude=0.25:duration=4:seed=5", dir_ / "track.raw");
    ASSERT_FALSE(pcm.empty());
    test::TMemoryInput source(pcm);
    source.maxChunk = 1001; // reads that end inside frames
    TReplayGainTap tap(&source);
    tap.SetEnabled(true);
    EXPECT_EQ(ReadThrough(tap), pcm);
    const auto meter = tap.TakeMeter();
    ASSERT_NE(meter, nullptr);
    const ReplayGainValues values = meter->Track();
    ASSERT_TRUE(values.valid);
    const FfmpegLoudness expected = MeasureLoudnessWithFfmpeg(dir_ / "track.raw");
    EXPECT_NEAR(values.gain, -18.0 - expected.loudness, 0.1);
    EXPECT_NEAR(20 * std::log10(values.peak), expected.peakDb, 0.1);
    EXPECT_EQ(tap.TakeMeter(), nullptr); // taken once

    // A run stopped short levels nothing; neither does one with the tap off,
    // which still passes every byte on.
    ReadThrough(tap, pcm.size() / 2);
    EXPECT_EQ(tap.TakeMeter(), nullptr);
    tap.SetEnabled(false);
    EXPECT_EQ(ReadThrough(tap), pcm);
    EXPECT_EQ(tap.TakeMeter(), nullptr);
    // Without libebur128 the data still flows and the tap says why nothing was measured.
    ASSERT_FALSE(BindReplayGainLibrary("libsonfeld-no-such-ebur128.so.1"));
    tap.SetEnabled(true);
    EXPECT_EQ(ReadThrough(tap), pcm);
    EXPECT_EQ(tap.TakeMeter(), nullptr);
    EXPECT_EQ(tap.Problem(), "libsonfeld-no-such-ebur128.so.1 library could not be loaded.");
    ASSERT_TRUE(BindReplayGainLibrary(DefaultReplayGainLibrary()));
}

TEST_F(ReplayGain, AKillDuringTheAlbumPassLeavesEveryFileWhole)
{
    const auto pcm =
        Generated("anoisesrc=color=pink:amplitude=0.3:duration=20:seed=3", dir_ / "track.raw");
    ASSERT_FALSE(pcm.empty());
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        const fs::path file = dir_ / ("track" + std::to_string(i) + ".flac");
        ASSERT_EQ(RunCommand("flac -s -f --endian=little --sign=signed --channels=2 --bps=16 "
                             "--sample-rate=44100 -o " +
                             ShellQuote(file.string()) + " " +
                             ShellQuote((dir_ / "track.raw").string())),
                  0);
        TrackTags tags;
        tags.title = "第 " + std::to_string(i + 1) + " 首";
        tags.replayGainTrackGain = "-3.00 dB";
        ASSERT_TRUE(WriteTags(file.string(), tags).written);
        files.push_back(file.string());
    }
    const ReplayGainValues album{-4.25, 0.5, true};

    // The child tells which file it starts on; it is killed as the third begins.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        WriteAlbumGain(files, album, 4, [&](std::size_t index) {
            const char byte = static_cast<char>(index);
            if (write(pipeEnds[1], &byte, 1) != 1)
                _exit(3);
        });
        _exit(0);
    }
    close(pipeEnds[1]);
    char started = -1;
    while (started != 2 && read(pipeEnds[0], &started, 1) == 1) {
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeEnds[0]);
    ASSERT_EQ(started, 2) << "the album pass ended before it reached the third file";

    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_EQ(RunCommand("flac -s -t " + ShellQuote(files[i])), 0);
        std::string exported;
        ASSERT_EQ(RunCommand("metaflac --export-tags-to=- " + ShellQuote(files[i]), &exported), 0);
        const auto fields = ParseCommentLines(exported);
        EXPECT_EQ(fields.at("TITLE"),
                  std::vector<std::string>{"第 " + std::to_string(i + 1) + " 首"});
        EXPECT_EQ(fields.at("REPLAYGAIN_TRACK_GAIN"), std::vector<std::string>{"-3.00 dB"});
        const bool hasAlbum = fields.count("REPLAYGAIN_ALBUM_GAIN") > 0;
        if (i < 2) {
            EXPECT_TRUE(hasAlbum) << "written before the kill";
        }
        if (hasAlbum) {
            EXPECT_EQ(fields.at("REPLAYGAIN_ALBUM_GAIN"), std::vector<std::string>{"-4.25 dB"});
            EXPECT_EQ(fields.at("REPLAYGAIN_ALBUM_PEAK"), std::vector<std::string>{"0.500000"});
        } else {
            EXPECT_EQ(fields.count("REPLAYGAIN_ALBUM_PEAK"), 0U);
        }
    }
    // Run again, the pass completes every file.
    EXPECT_TRUE(WriteAlbumGain(files, album, 4).empty());
    for (const std::string& file : files) {
        std::string exported;
        RunCommand("metaflac --export-tags-to=- " + ShellQuote(file), &exported);
        EXPECT_NE(exported.find("REPLAYGAIN_ALBUM_GAIN=-4.25 dB\n"), std::string::npos) << exported;
    }
}

TEST(ReplayGainLibrary, AMissingLibraryTakesOnlyReplayGainAway)
{
    ASSERT_FALSE(BindReplayGainLibrary("libsonfeld-no-such-ebur128.so.1"));
    EXPECT_FALSE(ReplayGainAvailable());
    EXPECT_EQ(ReplayGainMissingText(),
              "libsonfeld-no-such-ebur128.so.1 library could not be loaded.");
    EXPECT_THROW(ReplayGainMeter meter, ELibraryNotLoaded);
    EXPECT_TRUE(TagsLibraryAvailable()); // tags are still written
    EXPECT_TRUE(BindReplayGainLibrary(DefaultReplayGainLibrary()));
    EXPECT_TRUE(ReplayGainAvailable());
}

} // namespace
} // namespace sonfeld::test::tags
