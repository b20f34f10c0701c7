// Audio hidden before track 1's INDEX 01, listed and ripped as track 0 by the
// program itself from a CUE/BIN image, checked with an independent decoder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "program_test.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;
constexpr std::size_t kHiddenSectors = 115; // 00:01:40
constexpr std::size_t kTrackSectors = 375;  // 5 seconds each

// True when each of parts is found in text after the one before it.
bool InOrder(const std::string& text, const std::vector<std::string>& parts)
{
    std::size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos)
            return false;
        at += part.size();
    }
    return true;
}

class HiddenTrackRipTest : public ProgramTest {
protected:
    // A two-track image whose track 1 has INDEX 00 at the image's start and
    // INDEX 01 kHiddenSectors later, the hidden region holding hidden.
    std::filesystem::path WriteImage(const Bytes& hidden)
    {
        bin_ = hidden;
        const Bytes tracks =
            MakePcm(Signal::Music, static_cast<int>(2 * kTrackSectors * 588), 2, 44100, 0.5, 9);
        bin_.insert(bin_.end(), tracks.begin(), tracks.end());
        WriteFileBytes(image_ / "disc.bin", bin_);
        std::ofstream(image_ / "disc.cue")
            << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n"
               "    INDEX 01 00:01:40\n  TRACK 02 AUDIO\n    INDEX 01 00:06:40\n";
        return image_ / "disc.cue";
    }

    Bytes Cut(std::size_t fromSector, std::size_t sectors) const
    {
        return {bin_.begin() + static_cast<std::ptrdiff_t>(fromSector * kSector),
                bin_.begin() + static_cast<std::ptrdiff_t>((fromSector + sectors) * kSector)};
    }

    TempDir image_;
    Bytes bin_;
};

TEST_F(HiddenTrackRipTest, AudioBeforeTrackOneIsListedAndRippedAsTrackZero)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    const std::filesystem::path cue = WriteImage(
        MakePcm(Signal::Music, static_cast<int>(kHiddenSectors * 588), 2, 44100, 0.4, 3));
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(cue.string())), 0) << err_;
    EXPECT_TRUE(InOrder(out_, {"Track 0", "隐藏音轨", "Track 1", "Track 2"})) << out_;

    TempDir out;
    ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote(cue.string()) +
                      " --tracks 0,1 --format FLAC --template '{track:02} {title}' --out " +
                      ShellQuote(out.Path().string())),
              0)
        << out_ << err_;
    EXPECT_TRUE(FfmpegDecode(out / "00 隐藏音轨.flac", 2) == Cut(0, kHiddenSectors));
    EXPECT_TRUE(FfmpegDecode(out / "01 Track1.flac", 2) == Cut(kHiddenSectors, kTrackSectors));
    EXPECT_FALSE(std::filesystem::exists(out / "02 Track2.flac"));
    // The hidden audio is track 1's INDEX 00, in its own file before track 1's.
    const std::string sheet = FileText(out / "rip.cue");
    EXPECT_TRUE(InOrder(sheet, {"FILE \"00 隐藏音轨.flac\" WAVE\n  TRACK 01 AUDIO\n",
                                "    INDEX 00 00:00:00\nFILE \"01 Track1.flac\" WAVE\n"
                                "    INDEX 01 00:00:00\n"}))
        << sheet;
    EXPECT_EQ(sheet.find("PREGAP"), std::string::npos) << sheet;
    EXPECT_EQ(sheet.find("TRACK 00"), std::string::npos) << sheet;
    EXPECT_NE(
        FileText(out / "rip.log")
            .find("隐藏音轨: 音轨 1 的 INDEX 01 之前有 00:01.40 的非静音音频 (音轨 0，已抓取)"),
        std::string::npos);
}

// A one-file image opens with the hidden audio as track 1's INDEX 00, and as a
// disc again it gives back track 0 and every track byte for byte.
TEST_F(HiddenTrackRipTest, AOneFileImageOpensWithTheHiddenAudio)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    const std::filesystem::path cue = WriteImage(
        MakePcm(Signal::Sweep, static_cast<int>(kHiddenSectors * 588), 2, 44100, 0.4, 5));
    TempDir out;
    ASSERT_EQ(Sonfeld("--rip --single-file --image " + ShellQuote(cue.string()) +
                      " --format FLAC --album 整张 --out " + ShellQuote(out.Path().string())),
              0)
        << out_ << err_;
    const std::filesystem::path image = out / "整张.flac";
    EXPECT_TRUE(FfmpegDecode(image, 2) == bin_);
    const std::string sheet = FileText(out / "整张.cue");
    EXPECT_TRUE(
        InOrder(sheet, {"TRACK 01 AUDIO\n", "    INDEX 00 00:00:00\n    INDEX 01 00:01:40\n",
                        "TRACK 02 AUDIO\n", "    INDEX 01 00:06:40\n"}))
        << sheet;
    EXPECT_EQ(sheet.find("PREGAP"), std::string::npos) << sheet;
    EXPECT_NE(FileText(out / "整张.log").find("(音轨 0，在整轨文件开头，音轨 1 的 INDEX 00)"),
              std::string::npos);

    // The sheet beside the image and the one inside it both make the same disc.
    for (const std::filesystem::path& disc : {out / "整张.cue", image}) {
        SCOPED_TRACE(disc.filename().string());
        TempDir tracks;
        ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote(disc.string()) +
                          " --tracks 0,1,2 --format Wav --template '{track:02}' --out " +
                          ShellQuote(tracks.Path().string())),
                  0)
            << out_ << err_;
        EXPECT_TRUE(FfmpegDecode(tracks / "00.wav", 2) == Cut(0, kHiddenSectors));
        EXPECT_TRUE(FfmpegDecode(tracks / "01.wav", 2) == Cut(kHiddenSectors, kTrackSectors));
        EXPECT_TRUE(FfmpegDecode(tracks / "02.wav", 2) ==
                    Cut(kHiddenSectors + kTrackSectors, kTrackSectors));
    }
}

TEST_F(HiddenTrackRipTest, OneSampleMakesTheRegionATrackAndSilenceKeepsThePregap)
{
    // One sample in the region's last sector is audio: the whole region is read.
    Bytes hidden(kHiddenSectors * kSector, 0);
    hidden[hidden.size() - 7] = 1;
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(WriteImage(hidden).string())), 0) << err_;
    EXPECT_NE(out_.find("隐藏音轨"), std::string::npos) << out_;

    // Digital silence is no track: the sheet keeps its PREGAP line.
    const std::filesystem::path cue = WriteImage(Bytes(kHiddenSectors * kSector, 0));
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(cue.string())), 0) << err_;
    EXPECT_EQ(out_.find("Track 0"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("隐藏音轨"), std::string::npos) << out_;
    TempDir out;
    EXPECT_NE(Sonfeld("--rip --image " + ShellQuote(cue.string()) +
                      " --tracks 0 --format Wav --out " + ShellQuote(out.Path().string())),
              0);
    EXPECT_NE(err_.find("no hidden audio"), std::string::npos) << err_;
    ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote(cue.string()) +
                      " --tracks 1 --format Wav --out " + ShellQuote(out.Path().string())),
              0)
        << out_ << err_;
    EXPECT_NE(FileText(out / "rip.cue").find("    PREGAP 00:01:40\n    INDEX 01 00:00:00"),
              std::string::npos);
}

} // namespace
} // namespace sonfeld::test
