// The command-line mode, run as the program itself with its settings in a
// temporary folder, on generated disc images.

#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "audio/core/dynamic_library.h"
#include "support/disc_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeAudioDisc(disc_, {330, 300, 300});
        std::filesystem::create_directories(config_.Path());
        // Every rip looks its disc up: never on the internet.
        server_ = "http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/accuraterip";
        Store("");
    }

    // Runs sonfeld with arguments; returns the exit status, output in out_/err_.
    int Sonfeld(const std::string& arguments)
    {
        const std::string errFile = (logs_ / "stderr.txt").string();
        const std::string command =
            env_ + "XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) +
            " QT_QPA_PLATFORM=offscreen " + ShellQuote(InProgramFolder("sonfeld")) + " " +
            arguments + " 2>" + ShellQuote(errFile);
        out_.clear();
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
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=" << server_ << "\n"
            << lines;
    }

    std::filesystem::path Out(const std::string& name) { return out_dir_.Path() / name; }

    // Starts a slow rip of track 1 (100 ms before each block) as its own
    // process and waits until it is under way.
    void StartSlowRip(QProcess& process)
    {
        Store("CPU_INT=100\n");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QString::fromStdString(config_.Path().string()));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QString::fromStdString(InProgramFolder("sonfeld")),
                      {QStringLiteral("--rip"), QStringLiteral("--image"),
                       QString::fromStdString(disc_.cue.string()), QStringLiteral("--format"),
                       QStringLiteral("Wav"), QStringLiteral("--out"),
                       QString::fromStdString(out_dir_.Path().string()), QStringLiteral("--tracks"),
                       QStringLiteral("1")});
        ASSERT_TRUE(process.waitForStarted());
        QByteArray seen;
        while (!seen.contains("Track 1: 1") && process.waitForReadyRead(20000))
            seen += process.readAll();
        ASSERT_TRUE(seen.contains("Track 1: 1")) << seen.toStdString();
    }

    std::vector<std::string> Files()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out_dir_.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string env_;
    std::string server_; // the AccurateRipServer setting

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

TEST_F(CommandLineTest, VersionAndHelpInBothLanguages)
{
    for (const char* option : {"--version", "-v"}) {
        ASSERT_EQ(Sonfeld(option), 0) << err_;
        EXPECT_EQ(out_, "Sonfeld 1.0.2.16\n");
    }
    for (const char* option : {"--help", "-h"}) {
        ASSERT_EQ(Sonfeld(option), 0) << err_;
        for (const char* name :
             {"--image PATH", "--list", "--rip", "--drive N", "--format FORMAT", "--out DIR",
              "--tracks", "--name N=TEXT", "--album TEXT", "-h, --help", "-v, --version"})
            EXPECT_NE(out_.find(name), std::string::npos) << name;
        EXPECT_NE(out_.find("用法 / Usage"), std::string::npos) << out_;
        EXPECT_NE(out_.find("Sonfeld 提取音频CD。"), std::string::npos) << out_;
        EXPECT_NE(out_.find("Sonfeld rips audio CDs."), std::string::npos) << out_;
        EXPECT_NE(out_.find("输出目录\n      Output folder\n"), std::string::npos) << out_;
    }
    EXPECT_EQ(Sonfeld("--version --list"), 2);
    EXPECT_NE(err_.find("cannot be combined"), std::string::npos) << err_;
    EXPECT_NE(err_.find("用法 / Usage"), std::string::npos) << err_;
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

TEST_F(CommandLineTest, SigintStopsTheTrackAndLeavesNoFile)
{
    QProcess rip;
    StartSlowRip(rip);
    ::kill(static_cast<pid_t>(rip.processId()), SIGINT);
    ASSERT_TRUE(rip.waitForFinished(20000));
    const std::string output = rip.readAll().toStdString();
    EXPECT_EQ(rip.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(rip.exitCode(), 130) << output;
    EXPECT_NE(output.find("Track 1: 用户取消"), std::string::npos) << output;
    EXPECT_TRUE(Files().empty());
}

TEST_F(CommandLineTest, ASecondProgramCannotRipIntoAFolderInUse)
{
    QProcess first;
    StartSlowRip(first);
    EXPECT_EQ(Sonfeld(Rip("FLAC")), 1);
    EXPECT_NE(err_.find(out_dir_.Path().string()), std::string::npos) << err_;
    EXPECT_NE(err_.find("另一个 Sonfeld"), std::string::npos) << err_;
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 130);
    // Released: the folder takes the next rip, with nothing else left in it.
    Store("");
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 2")), 0) << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"Track2.flac", "rip.cue", "rip.log"}));
}

TEST_F(CommandLineTest, AKilledRipLeavesNoPartialFileAndTheNextRipClearsUp)
{
    QProcess rip;
    StartSlowRip(rip);
    rip.kill();
    ASSERT_TRUE(rip.waitForFinished(20000));
    EXPECT_FALSE(std::filesystem::exists(Out("Track1.wav")));
    Store("");
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 2")), 0) << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"Track2.wav", "rip.cue", "rip.log"}));
}

TEST_F(CommandLineTest, AFlagOfTheWrongKindIsReportedBeforeTheRip)
{
    Store("ejectCD=maybe\n");
    EXPECT_EQ(Sonfeld(Rip("Wav")), 1);
    EXPECT_NE(err_.find("ejectCD"), std::string::npos) << err_;
    EXPECT_EQ(out_.find("完成转换"), std::string::npos) << out_;
    EXPECT_TRUE(Files().empty());
}

TEST_F(CommandLineTest, AMissingCodecLibraryFailsOnlyItsFormat)
{
    // An empty file where the MP3 encoder library should be.
    TempDir libraries;
    std::ofstream(libraries.Path() / "libmp3lame.so.0");
    env_ = "LD_LIBRARY_PATH=" + ShellQuote(libraries.Path().string()) + " ";
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(disc_.cue.string())), 0) << err_;
    EXPECT_NE(out_.find("Track 3"), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 1")), 0) << err_;
    EXPECT_EQ(FfmpegDecode(Out("Track1.wav")), disc_.TrackBytes(1));
    EXPECT_EQ(Sonfeld(Rip("MP3", "--tracks 2")), 1);
    EXPECT_NE(err_.find("libmp3lame"), std::string::npos) << err_;
    EXPECT_FALSE(std::filesystem::exists(Out("Track2.mp3")));
}

} // namespace
} // namespace sonfeld::test
