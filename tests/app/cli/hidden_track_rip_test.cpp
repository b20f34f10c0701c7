// Audio hidden before track 1's INDEX 01, listed and ripped as track 0 by the
// program itself from a CUE/BIN image, checked with an independent decoder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/core/dynamic_library.h"
#include "settings_sandbox.h"
#include "support/http/http_test_server.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 2352;
constexpr std::size_t kHiddenSectors = 115; // 00:01:40
constexpr std::size_t kTrackSectors = 375;  // 5 seconds each

std::string FileText(const std::filesystem::path& path)
{
    const Bytes bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

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

class HiddenTrackRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(config_.Path() / "Tessaly");
        // Every rip looks its disc up: never on the internet.
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=http://127.0.0.1:" << UnusedLocalPort()
            << "/accuraterip\n"
            << ClosedNameServers();
    }

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

    int Sonfeld(const std::string& arguments)
    {
        const std::string errFile = (logs_ / "stderr.txt").string();
        out_.clear();
        const int status =
            RunCommand("XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) +
                           " QT_QPA_PLATFORM=offscreen " + ShellQuote(InProgramFolder("sonfeld")) +
                           " " + arguments + " 2>" + ShellQuote(errFile),
                       &out_);
        err_ = FileText(errFile);
        return status;
    }

    TempDir image_;
    TempDir config_;
    TempDir logs_;
    Bytes bin_;
    std::string out_;
    std::string err_;
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
