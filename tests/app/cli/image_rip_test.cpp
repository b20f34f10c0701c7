// Album images ripped by the program itself, with its settings in a temporary
// folder: audio that ends inside a sector, checked with independent decoders.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "program_test.h"
#include "support/disc_fixture.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;

class ImageRipTest : public ProgramTest {
protected:
    TempDir image_;
};

TEST_F(ImageRipTest, AudioEndingInsideASectorIsRippedToExactlyItsSamples)
{
    if (!ToolAvailable("flac") || !ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "flac or ffmpeg is not installed";
    // 9 seconds and 301 samples: the last sector holds 287 samples of silence.
    const Bytes pcm = MakePcm(Signal::Music, 9 * 44100 + 301, 2, 44100, 0.6, 7);
    WriteCdWaveFile(image_ / "in.wav", pcm);
    ASSERT_EQ(RunCommand("flac -s " + ShellQuote((image_ / "in.wav").string()) + " -o " +
                         ShellQuote((image_ / "album.flac").string())),
              0);
    std::ofstream(image_ / "album.cue")
        << "FILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n";
    const std::size_t split = 4 * 75 * kSector;
    const Bytes first(pcm.begin(), pcm.begin() + split);
    const Bytes second(pcm.begin() + split, pcm.end());
    for (const std::string format : {"FLAC", "Wav"}) {
        SCOPED_TRACE(format);
        TempDir out;
        ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote((image_ / "album.cue").string()) +
                          " --format " + format + " --out " + ShellQuote(out.Path().string())),
                  0)
            << out_ << err_;
        const std::string extension = format == "FLAC" ? ".flac" : ".wav";
        EXPECT_TRUE(FfmpegDecode(out / ("Track1" + extension), 2) == first);
        const Bytes last = FfmpegDecode(out / ("Track2" + extension), 2);
        EXPECT_EQ(last.size(), second.size());
        EXPECT_TRUE(last == second);
        if (format == "FLAC") {
            // flac's own count of the samples, from the file's header.
            std::string samples;
            RunCommand("metaflac --show-total-samples " +
                           ShellQuote((out / "Track2.flac").string()),
                       &samples);
            EXPECT_EQ(std::stoll(samples), static_cast<long long>(second.size() / 4));
        }
        EXPECT_NE(FileText(out / "rip.log").find("287 个静音采样补足该扇区，文件中已去掉"),
                  std::string::npos);
    }
}

// A disc with a gap, ripped into one file with its sheet and opened again
// as a disc, through the sheet beside it and the one inside it, rips into
// the original's tracks byte for byte.
TEST_F(ImageRipTest, ADiscRippedIntoOneFileRoundTripsThroughItsSheets)
{
    if (!ToolAvailable("ffmpeg") || !ToolAvailable("metaflac"))
        GTEST_SKIP() << "ffmpeg or metaflac is not installed";
    DiscFixture disc;
    MakeDisc(disc, {"",
                    "",
                    {AudioTrack(disc_image::SignalKind::Music, 330, 0, 3),
                     AudioTrack(disc_image::SignalKind::Noise, 300, 90, 4),
                     AudioTrack(disc_image::SignalKind::Sweep, 300, 0, 5)}});
    const auto ripTracks = [&](const std::filesystem::path& image) {
        TempDir tracks;
        EXPECT_EQ(Sonfeld("--rip --image " + ShellQuote(image.string()) + " --format Wav --out " +
                          ShellQuote(tracks.Path().string())),
                  0)
            << out_ << err_;
        // The sheet names the tracks: their files are numbered ("01 Track1.wav").
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(tracks.Path()))
            if (entry.path().extension() == ".wav")
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        ASSERT_EQ(files.size(), 3u) << image;
        for (int track = 1; track <= 3; ++track)
            EXPECT_TRUE(FfmpegDecode(files[static_cast<std::size_t>(track - 1)], 2) ==
                        disc.TrackBytes(track))
                << files[static_cast<std::size_t>(track - 1)];
    };
    for (const std::string format : {"FLAC", "Ape", "Wav"}) {
        SCOPED_TRACE(format);
        TempDir out;
        ASSERT_EQ(Sonfeld("--rip --single-file --image " + ShellQuote(disc.cue.string()) +
                          " --format " + format + " --album 晨光 --out " +
                          ShellQuote(out.Path().string())),
                  0)
            << out_ << err_;
        const std::string extension = format == "FLAC"  ? ".flac"
                                      : format == "Ape" ? ".ape"
                                                        : ".wav";
        const std::filesystem::path image = out / ("晨光" + extension);
        const std::string sheet = FileText(out / "晨光.cue");
        EXPECT_NE(sheet.find("FILE \"晨光" + extension + "\" WAVE"), std::string::npos) << sheet;
        EXPECT_NE(sheet.find("INDEX 00 00:04:30"), std::string::npos) << sheet;
        EXPECT_NE(sheet.find("INDEX 01 00:05:45"), std::string::npos) << sheet;
        EXPECT_NE(sheet.find("REM DISCID "), std::string::npos) << sheet;
        EXPECT_NE(FileText(out / "晨光.log").find("音轨 3"), std::string::npos);
        EXPECT_TRUE(FfmpegDecode(image, 2) == disc.bin);
        ripTracks(out / "晨光.cue");
        if (format == "Wav")
            continue;
        // The sheet inside the file: the image alone is the disc.
        ripTracks(image);
        if (format == "FLAC") {
            std::string exported;
            ASSERT_EQ(RunCommand("metaflac --export-cuesheet-to=- " + ShellQuote(image.string()),
                                 &exported),
                      0);
            EXPECT_NE(exported.find("INDEX 00 00:04:30"), std::string::npos) << exported;
            std::string comment;
            RunCommand("metaflac --show-tag=CUESHEET " + ShellQuote(image.string()), &comment);
            EXPECT_EQ(comment, "CUESHEET=" + sheet + "\n");
            EXPECT_EQ(FfprobeTag(image, "ALBUM"), "晨光");
        }
    }

    // Formats whose gaps are not sample-exact are refused, leaving nothing.
    TempDir out;
    EXPECT_EQ(Sonfeld("--rip --single-file --image " + ShellQuote(disc.cue.string()) +
                      " --format MP3 --out " + ShellQuote(out.Path().string())),
              1);
    EXPECT_NE(err_.find("整轨只能保存为 FLAC、APE 或 WAV 文件"), std::string::npos) << err_;
    EXPECT_TRUE(std::filesystem::is_empty(out.Path()));
}

} // namespace
} // namespace sonfeld::test
