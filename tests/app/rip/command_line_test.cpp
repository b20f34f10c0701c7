// The command-line mode, run as the program itself with its settings in a
// temporary folder, on generated disc images.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/core/dynamic_library.h"
#include "support/disc_fixture.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeAudioDisc(disc_, {330, 300, 300});
        std::filesystem::create_directories(config_.Path());
    }

    // Runs sonfeld with arguments; returns the exit status, output in out_/err_.
    int Sonfeld(const std::string& arguments)
    {
        const std::string errFile = (logs_ / "stderr.txt").string();
        const std::string command = "XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) +
                                    " QT_QPA_PLATFORM=offscreen " +
                                    ShellQuote(InProgramFolder("sonfeld")) + " " + arguments +
                                    " 2>" + ShellQuote(errFile);
        const int status = RunCommand(command, &out_);
        const std::vector<std::uint8_t> err = ReadFileBytes(errFile);
        err_.assign(err.begin(), err.end());
        return status;
    }

    std::string Rip(const std::string& format, const std::string& more = "")
    {
        return "--rip --image " + ShellQuote(disc_.cue.string()) + " --format " + format +
               " --out " + ShellQuote(out_dir_.Path().string()) + " " + more;
    }

    void Store(const std::string& lines)
    {
        std::filesystem::create_directories(config_.Path() / "Tessaly");
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf") << "[General]\n" << lines;
    }

    std::filesystem::path Out(const std::string& name) { return out_dir_.Path() / name; }

    DiscFixture disc_;
    TempDir config_;
    TempDir out_dir_;
    TempDir logs_;
    std::string out_;
    std::string err_;
};

TEST_F(CommandLineTest, ListPrintsTheDrivesAndTheRows)
{
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(disc_.cue.string())), 0) << err_;
    EXPECT_NE(out_.find(disc_.cue.string()), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 1   Track1      [1] - 0:04"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 3   Track3      [3] - 0:04"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, EveryFormatRipsEveryTrack)
{
    struct Case {
        std::string format;
        std::string extension;
        bool exact;
    };
    for (const Case& c :
         {Case{"Ape", ".ape", true}, Case{"Wav", ".wav", true}, Case{"Ogg", ".ogg", false},
          Case{"FLAC", ".flac", true}, Case{"MP3", ".mp3", false}}) {
        SCOPED_TRACE(c.format);
        ASSERT_EQ(Sonfeld(Rip(c.format)), 0) << out_ << err_;
        EXPECT_NE(out_.find("Track 3: 完成转换"), std::string::npos) << out_;
        EXPECT_NE(out_.find("3 of 3 tracks ripped"), std::string::npos) << out_;
        for (int track = 1; track <= 3; ++track) {
            const auto file = Out("Track" + std::to_string(track) + c.extension);
            const std::vector<std::uint8_t> decoded = FfmpegDecode(file, 2);
            const std::vector<std::uint8_t> expected = disc_.TrackBytes(track);
            if (c.exact)
                EXPECT_TRUE(decoded == expected) << file;
            else
                EXPECT_EQ(decoded.size(), expected.size()) << file;
        }
    }
}

TEST_F(CommandLineTest, ChosenTracksNamesAndTagsFromTheStore)
{
    Store("addId3Title=1\naddId3Track=1\naddId3Album=1\nMP3BitRate=br320\n");
    ASSERT_EQ(Sonfeld(Rip("mp3", "--tracks 3,1 --name 3=晚灯 --album 示例")), 0) << err_;
    EXPECT_TRUE(std::filesystem::exists(Out("Track1.mp3")));
    EXPECT_FALSE(std::filesystem::exists(Out("Track2.mp3")));
    ASSERT_TRUE(std::filesystem::exists(Out("晚灯.mp3")));
    EXPECT_EQ(FfprobeValue(Out("晚灯.mp3"), "bit_rate"), "320000");
    std::string tags;
    RunCommand("ffprobe -v error -show_entries format_tags=title,track,album -of "
               "default=noprint_wrappers=1 " +
                   ShellQuote(Out("晚灯.mp3").string()),
               &tags);
    EXPECT_NE(tags.find("title=晚灯"), std::string::npos) << tags;
    EXPECT_NE(tags.find("track=3"), std::string::npos) << tags;
    EXPECT_NE(tags.find("album=示例"), std::string::npos) << tags;
    EXPECT_NE(out_.find("2 of 2 tracks ripped"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, AdpcmFromTheStore)
{
    Store("wtWaveType=DVI IMA ADPCM\n");
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 2")), 0) << err_;
    EXPECT_EQ(FfprobeValue(Out("Track2.wav"), "codec_name"), "adpcm_ima_wav");
}

TEST_F(CommandLineTest, ATrackThatFailsMakesTheExitNonZero)
{
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--name 2=a/b")), 1);
    EXPECT_NE(out_.find("Track 2: 转换失败"), std::string::npos) << out_;
    EXPECT_NE(err_.find("a/b"), std::string::npos) << err_;
    EXPECT_TRUE(std::filesystem::exists(Out("Track1.flac")));
    EXPECT_FALSE(std::filesystem::exists(Out("Track3.flac")));
}

TEST_F(CommandLineTest, AnExistingFileWithOverwritingOffIsRefused)
{
    Store("chkOverRide=1\n");
    std::ofstream(Out("Track2.FLAC")) << "mine";
    EXPECT_EQ(Sonfeld(Rip("FLAC")), 1);
    EXPECT_NE(out_.find("找到同名的文件"), std::string::npos) << out_;
    EXPECT_FALSE(std::filesystem::exists(Out("Track1.flac")));
}

TEST_F(CommandLineTest, BadArgumentsAndMissingImages)
{
    EXPECT_EQ(Sonfeld("--rip --format FLAC"), 2);
    EXPECT_NE(err_.find("--image"), std::string::npos) << err_;
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--tracks 7")), 2);
    EXPECT_NE(err_.find("no track 7"), std::string::npos) << err_;
    EXPECT_EQ(Sonfeld("--rip --image /nonexistent/x.cue --format Wav --out " +
                      ShellQuote(out_dir_.Path().string())),
              1);
    EXPECT_FALSE(err_.empty());
    EXPECT_EQ(Sonfeld("--help"), 0);
    EXPECT_NE(out_.find("--rip"), std::string::npos);
}

TEST_F(CommandLineTest, TheDemoDiscOfTheBuild)
{
    const std::filesystem::path demo =
        std::filesystem::path(ProgramFolder()).parent_path() / "demo" / "demo.cue";
    if (!std::filesystem::exists(demo))
        GTEST_SKIP() << "the demo disc is not built";
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(demo.string())), 0) << err_;
    EXPECT_NE(out_.find("Track 4   Track4      [4] - 0:17"), std::string::npos) << out_;
}

} // namespace
} // namespace sonfeld::test
