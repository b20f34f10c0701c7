// The command-line mode, run as the program itself with its settings in a
// temporary folder, on generated disc images.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "audio/cd/disc/cue_image.h"
#include "audio/cd/disc/disc_ids.h"
#include "audio/core/de_emphasis.h"
#include "audio/core/dynamic_library.h"
#include "audio/formats/tags/replay_gain.h"
#include "settings_sandbox.h"
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
            " QT_QPA_PLATFORM=offscreen " +
            ShellQuote(program_.empty() ? InProgramFolder("sonfeld") : program_) + " " + arguments +
            " 2>" + ShellQuote(errFile);
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
            << nameServers_ << lines;
    }

    std::filesystem::path Out(const std::string& name) { return out_dir_.Path() / name; }

    // Starts a slow rip of track 1 (100 ms before each block) as its own
    // process and waits until it is under way.
    void StartSlowRip(QProcess& process, const QStringList& more = {},
                      QProcess::ProcessChannelMode channels = QProcess::MergedChannels)
    {
        Store("CPU_INT=100\n");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QString::fromStdString(config_.Path().string()));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(channels);
        const QStringList arguments = QStringList{QStringLiteral("--rip"),
                                                  QStringLiteral("--image"),
                                                  QString::fromStdString(disc_.cue.string()),
                                                  QStringLiteral("--format"),
                                                  QStringLiteral("Wav"),
                                                  QStringLiteral("--out"),
                                                  QString::fromStdString(out_dir_.Path().string()),
                                                  QStringLiteral("--tracks"),
                                                  QStringLiteral("1")} +
                                      more;
        process.start(QString::fromStdString(InProgramFolder("sonfeld")), arguments);
        ASSERT_TRUE(process.waitForStarted());
        QByteArray seen;
        while (!seen.contains("Track 1: 正在读取") && process.waitForReadyRead(20000))
            seen += process.readAll();
        ASSERT_TRUE(seen.contains("Track 1: 正在读取")) << seen.toStdString();
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
    std::string program_; // another copy of the program; empty: the build's
    std::string server_;  // the AccurateRipServer setting
    // The lookup and cover servers' settings lines: closed unless a test serves them.
    std::string nameServers_ = ClosedNameServers();

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

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::uint8_t> Sectors(std::size_t count, std::uint8_t value)
{
    return std::vector<std::uint8_t>(count * 2352, value);
}

// Ada North's "Harbour Lights": 20 s of audio in songs.bin, its sheet
// album.cue with these track entries.
std::filesystem::path WriteAlbum(const TempDir& dir, const std::string& tracks)
{
    WriteFileBytes(dir.Path() / "songs.bin", Sectors(1500, 3));
    WriteText(dir.Path() / "album.cue", "PERFORMER \"Ada North\"\nTITLE \"Harbour Lights\"\n"
                                        "FILE \"songs.bin\" BINARY\n" +
                                            tracks);
    return dir.Path() / "album.cue";
}

TEST_F(CommandLineTest, ListPrintsTheDiscIdsGapsIsrcsAndTitles)
{
    TempDir dir;
    // 10 s, a 2 s pregap then 6 s, 4 s: absolute starts 150, 900, 1350, lead-out 1650.
    WriteAlbum(dir, "  TRACK 01 AUDIO\n    TITLE \"晨光\"\n    INDEX 01 00:00:00\n"
                    "  TRACK 02 AUDIO\n    TITLE \"Pier/Side\"\n    ISRC CNA121600007\n"
                    "    INDEX 00 00:08:00\n    INDEX 01 00:10:00\n"
                    "  TRACK 03 AUDIO\n    FLAGS PRE\n    INDEX 01 00:16:00\n");
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote((dir.Path() / "album.cue").string())), 0)
        << err_;

    // Worked out by hand from the starts above.
    EXPECT_NE(out_.find("\n  AccurateRip: 003-00000d7a-00002b5d-0e001403\n"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("\n  freedb: 0e001403\n"), std::string::npos) << out_;
    // The same from the model our reader makes of the sheet.
    const disc::DiscModel model = disc::CueImage::Open(dir.Path() / "album.cue")->Model();
    EXPECT_NE(out_.find("AccurateRip: " + disc::ComputeAccurateRipId(model).Text() + "\n"),
              std::string::npos)
        << out_;
    const std::string musicBrainz = disc::MusicBrainzId(model);
    EXPECT_EQ(musicBrainz.size(), 28u) << musicBrainz;
    EXPECT_NE(out_.find("\n  MusicBrainz: " + musicBrainz + "\n"), std::string::npos) << out_;

    EXPECT_NE(out_.find("\n  [1] - 0:10  \"晨光\"\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  [2] - 0:06  pregap 00:02:00  ISRC CNA121600007  \"Pier/Side\"\n"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("\n  [3] - 0:04  pre-emphasis\n"), std::string::npos) << out_;
    // The rows are named after the titles, made fit for a file name.
    EXPECT_NE(out_.find("Track 1   晨光"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 2   Pier_Side"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 3   Track3      [3] - 0:04  预加重\n"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, APartialRipsSheetAndLogTellTheNamesAndTheGapNoFileHolds)
{
    TempDir dir;
    // Track 2's 2 s gap follows track 1, which is not ripped: no file holds it.
    WriteAlbum(dir, "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                    "  TRACK 02 AUDIO\n    ISRC CNA121600007\n"
                    "    INDEX 00 00:08:00\n    INDEX 01 00:10:00\n"
                    "  TRACK 03 AUDIO\n    PERFORMER \"Ben South\"\n    INDEX 01 00:16:00\n");
    ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote((dir.Path() / "album.cue").string()) +
                      " --format wav --tracks 2,3 --out " + ShellQuote(out_dir_.Path().string())),
              0)
        << err_;
    const auto read = [this](const std::string& name) {
        const std::vector<std::uint8_t> bytes = ReadFileBytes(Out(name));
        return std::string(bytes.begin(), bytes.end());
    };
    const std::string sheet = read("rip.cue");
    EXPECT_NE(sheet.find("REM COMMENT \"Sonfeld 1."), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("\nPERFORMER \"Ada North\"\nTITLE \"Harbour Lights\"\n"),
              std::string::npos)
        << sheet;
    EXPECT_EQ(sheet.find("INDEX 00"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("  TRACK 02 AUDIO\n    ISRC CNA121600007\n    TITLE \"Track2\"\n"
                         "    PERFORMER \"Ada North\"\n    PREGAP 00:02:00\n"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("    PERFORMER \"Ben South\"\n"), std::string::npos) << sheet;

    const std::string log = read("rip.log");
    EXPECT_NE(log.find("Sonfeld 1."), std::string::npos) << log;
    EXPECT_EQ(log.find("Sonfeld Sonfeld"), std::string::npos) << log;
    for (const char* expected :
         {"专辑: Ada North / Harbour Lights\n", "  ISRC: CNA121600007\n", "  演唱者: Ben South\n",
          "间隙 00:02.00 在未抓取的音轨 1 之后", "  纠正: 共 0 次\n"})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log;
}

// Loud, busy audio (a tone under noise), 16-bit little-endian stereo.
std::vector<std::uint8_t> BusyAudio(std::size_t sectors)
{
    std::vector<std::uint8_t> bytes(sectors * 2352);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        noise = (noise * 1103515245u) + 12345u;
        const std::size_t frame = i / 2;
        const double tone = 9000.0 * std::sin(static_cast<double>(frame) * 0.37);
        const auto sample = static_cast<std::int16_t>(tone + static_cast<int>(noise >> 20) - 2048);
        bytes[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
        bytes[(2 * i) + 1] = static_cast<std::uint8_t>((static_cast<std::uint16_t>(sample) >> 8));
    }
    return bytes;
}

// The log's lines that carry a track's sums (its peak, CRCs, AccurateRip and CTDB sums).
std::vector<std::string> SumLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        for (const char* sum : {"  峰值: ", "  复制 CRC32", "  AccurateRip v", "  CTDB CRC32: "})
            if (line.starts_with(sum))
                lines.push_back(line);
    return lines;
}

// The disc's PRE flag: tagged and logged; with de-emphasis asked for (the
// option, or the setting with the one-track queue), that track's file holds
// the audio de-emphasised and untagged, while every checksum stays that of the
// audio as read; a one-file image keeps the audio as read.
TEST_F(CommandLineTest, PreEmphasisIsTaggedOrDeEmphasisedWithTheSumsOfTheAudioAsRead)
{
    if (!ToolAvailable("ffmpeg") || !ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::vector<std::uint8_t> audio = BusyAudio(600);
    WriteFileBytes(dir.Path() / "songs.bin", audio);
    WriteText(dir.Path() / "album.cue", "FILE \"songs.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    FLAGS DCP PRE\n"
                                        "    INDEX 01 00:04:00\n");
    const std::vector<std::uint8_t> first(audio.begin(), audio.begin() + (300 * 2352));
    const std::vector<std::uint8_t> second(audio.begin() + (300 * 2352), audio.end());
    // The oracle: the filter over the track's audio from its first sample.
    std::vector<std::int16_t> samples(second.size() / 2);
    std::memcpy(samples.data(), second.data(), second.size());
    TDeEmphasis filter;
    filter.Process(samples.data(), samples.size() / 2);
    std::vector<std::uint8_t> deEmphasised(second.size());
    std::memcpy(deEmphasised.data(), samples.data(), deEmphasised.size());
    ASSERT_NE(deEmphasised, second);
    // ReplayGain describes the file's audio: the sample peak shows which.
    const auto peakOf = [](const std::vector<std::uint8_t>& pcm) {
        int most = 0;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2)
            most = std::max(most, std::abs(static_cast<int>(
                                      static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8)))));
        return PeakText(most / 32768.0);
    };
    const bool gain = ReplayGainAvailable();
    ASSERT_NE(peakOf(deEmphasised), peakOf(second));

    const std::string image = " --image " + ShellQuote((dir.Path() / "album.cue").string());
    const auto rip = [&](const TempDir& out, const std::string& more) {
        EXPECT_EQ(Sonfeld("--rip" + image + " --format flac --out " +
                          ShellQuote(out.Path().string()) + more),
                  0)
            << err_;
        const std::vector<std::uint8_t> log = ReadFileBytes(out / "rip.log");
        return std::string(log.begin(), log.end());
    };
    TempDir plain;
    const std::string plainLog = rip(plain, "");
    EXPECT_EQ(FfprobeTag(plain / "Track2.flac", "PRE_EMPHASIS"), "1");
    EXPECT_EQ(FfprobeTag(plain / "Track1.flac", "PRE_EMPHASIS"), "");
    EXPECT_EQ(FfmpegDecode(plain / "Track2.flac"), second);
    if (gain) {
        EXPECT_EQ(FfprobeTag(plain / "Track2.flac", "REPLAYGAIN_TRACK_PEAK"), peakOf(second));
    }
    EXPECT_NE(plainLog.find("  预加重: 是\n"), std::string::npos) << plainLog;
    EXPECT_EQ(plainLog.find("去加重"), std::string::npos) << plainLog;
    EXPECT_EQ(SumLines(plainLog).size(), 12u) << plainLog;

    TempDir piped;
    TempDir sequential;
    const std::string pipedLog = rip(piped, " --de-emphasis");
    Store("deEmphasis=1\nsequentialMode=1\n");
    const std::string sequentialLog = rip(sequential, "");
    for (const auto& [out, log] : {std::pair{&piped, &pipedLog}, {&sequential, &sequentialLog}}) {
        EXPECT_TRUE(FfmpegDecode(*out / "Track2.flac") == deEmphasised);
        if (gain) {
            EXPECT_EQ(FfprobeTag(*out / "Track2.flac", "REPLAYGAIN_TRACK_PEAK"),
                      peakOf(deEmphasised));
        }
        EXPECT_TRUE(FfmpegDecode(*out / "Track1.flac") == first);
        EXPECT_EQ(FfprobeTag(*out / "Track2.flac", "PRE_EMPHASIS"), "");
        EXPECT_EQ(SumLines(*log), SumLines(plainLog)) << *log;
        const std::string mark = "  去加重: ";
        const std::size_t marked = log->find(mark);
        ASSERT_NE(marked, std::string::npos) << *log;
        EXPECT_GT(marked, log->find("音轨 2\n")) << *log;
        EXPECT_EQ(log->find(mark, marked + mark.size()), std::string::npos) << *log;
    }

    // Without names the image is "CDImage".
    TempDir whole;
    rip(whole, " --single-file");
    const std::vector<std::uint8_t> wholeLog = ReadFileBytes(whole / "CDImage.log");
    EXPECT_TRUE(FfmpegDecode(whole / "CDImage.flac") == audio);
    EXPECT_NE(std::string(wholeLog.begin(), wholeLog.end()).find("整轨不去加重"),
              std::string::npos);
}

// The repair reads a real rip's log and files; it changes nothing without
// the database, and refuses a lossy rip.
TEST_F(CommandLineTest, RepairReadsTheRipAndNeedsTheDatabaseAndLosslessFiles)
{
    Store("CTDBServer=http://127.0.0.1:1\n");
    ASSERT_EQ(Sonfeld(Rip("wav")), 0) << err_;
    const std::vector<std::uint8_t> before = ReadFileBytes(Out("Track2.wav"));
    EXPECT_EQ(Sonfeld("--repair " + ShellQuote(out_dir_.Path().string())), 1);
    EXPECT_NE(err_.find("CTDB could not be reached"), std::string::npos) << out_ << err_;
    EXPECT_NE(err_.find("nothing was changed"), std::string::npos) << err_;
    EXPECT_EQ(ReadFileBytes(Out("Track2.wav")), before);

    TempDir lossy;
    ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote(disc_.cue.string()) + " --format mp3 --out " +
                      ShellQuote(lossy.Path().string())),
              0)
        << err_;
    EXPECT_EQ(Sonfeld("--repair " + ShellQuote((lossy.Path() / "rip.log").string())), 1);
    EXPECT_NE(err_.find("is lossy"), std::string::npos) << err_;
}

TEST_F(CommandLineTest, CueEncodingOverridesTheGuessedOne)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "songs.bin", Sectors(300, 3));
    // "晨光" in Big5: as GB18030, which a guess prefers on so little text, it is other text.
    WriteText(dir.Path() / "album.cue", "FILE \"songs.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                        "    TITLE \"\xB1\xE1\xA5\xFA\"\n    INDEX 01 00:00:00\n");
    const std::string list = "--list --image " + ShellQuote((dir.Path() / "album.cue").string());
    ASSERT_EQ(Sonfeld(list), 0) << err_;
    EXPECT_EQ(out_.find("\"晨光\""), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld(list + " --cue-encoding Big5"), 0) << err_;
    EXPECT_NE(out_.find("\n  [1] - 0:04  \"晨光\"\n"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, ListShowsTheLastAudioTrackOfAnEnhancedCdWithoutTheSessionGap)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "audio.bin", Sectors(1000, 5));
    WriteFileBytes(dir.Path() / "data.bin", Sectors(300, 0x5A));
    WriteText(dir.Path() / "extra.cue", "REM SESSION 01\nFILE audio.bin BINARY\n"
                                        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n"
                                        "REM SESSION 02\nFILE data.bin BINARY\n"
                                        "  TRACK 03 MODE1/2352\n    INDEX 01 00:00:00\n");
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote((dir.Path() / "extra.cue").string())), 0)
        << err_;
    // 700 sectors; with the 11400-sector gap between the sessions it would be 2:41.
    EXPECT_NE(out_.find("Track 2   Track2      [2] - 0:09"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  [2] - 0:09\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("data"), std::string::npos) << out_;
    const disc::DiscModel model = disc::CueImage::Open(dir.Path() / "extra.cue")->Model();
    const disc::AccurateRipId ar = disc::ComputeAccurateRipId(model);
    EXPECT_EQ(ar.audioTracks, 2);
    EXPECT_NE(out_.find("\n  AccurateRip: " + ar.Text() + "\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  MusicBrainz: " + disc::MusicBrainzId(model) + "\n"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("\n  freedb: " + disc::FreedbIdText(disc::ComputeFreedbId(model)) + "\n"),
              std::string::npos)
        << out_;
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
        // Each status once, however often reading ahead refreshes it.
        for (const std::string line : {"Track 1: 正在读取\n", "Track 2: 完成转换\n"}) {
            std::size_t count = 0;
            for (std::size_t at = out_.find(line); at != std::string::npos;
                 at = out_.find(line, at + 1))
                ++count;
            EXPECT_EQ(count, 1U) << line << out_;
        }
        // Off a terminal no progress in steps: the status lines only.
        EXPECT_EQ(out_.find("%\n"), std::string::npos) << out_;
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

// Opus files hold each track exactly (its length at 48 kHz, to the one frame
// a granule position can tell), at the stored bit rate, with the tags as
// Vorbis comments.
TEST_F(CommandLineTest, OpusRipsAreGaplessTaggedAndAtTheStoredRate)
{
    if (!ToolAvailable("opusinfo") || !ToolAvailable("opusdec"))
        GTEST_SKIP() << "opus-tools missing";
    Store("OpusBitRate=64\n");
    ASSERT_EQ(Sonfeld(Rip("opus", "--album 示例 --artist 某人 --name 2=晚灯")), 0) << out_ << err_;
    for (int track = 1; track <= 3; ++track) {
        const auto file = Out(track == 2 ? "晚灯.opus" : "Track" + std::to_string(track) + ".opus");
        SCOPED_TRACE(file.string());
        std::string info;
        ASSERT_EQ(RunCommand("opusinfo " + ShellQuote(file.string()) + " 2>&1", &info), 0) << info;
        EXPECT_EQ(info.find("WARNING"), std::string::npos) << info;
        const auto raw = file.string() + ".raw";
        ASSERT_EQ(RunCommand("opusdec --quiet --rate 48000 " + ShellQuote(file.string()) + " " +
                             ShellQuote(raw)),
                  0);
        // Whole frames of 4 bytes, then their length at 48 kHz.
        const std::size_t decoded = ReadFileBytes(raw).size() / 4;
        const std::size_t source = disc_.TrackBytes(track).size() / 4;
        const double frames48 = static_cast<double>(decoded);
        const double exact = static_cast<double>(source) * 48000.0 / 44100.0;
        EXPECT_LE(std::abs(frames48 - exact), 1.0) << frames48 << " vs " << exact;
        EXPECT_EQ(FfprobeTag(file, "album", true), "示例");
        EXPECT_EQ(FfprobeTag(file, "artist", true), "某人");
        EXPECT_EQ(FfprobeTag(file, "track", true), std::to_string(track));
        EXPECT_EQ(FfprobeTag(file, "title", true),
                  track == 2 ? "晚灯" : "Track" + std::to_string(track));
    }
    // 64 kbit/s on average: far below the default's 160.
    const double seconds = static_cast<double>(disc_.TrackBytes(1).size()) / 176400.0;
    EXPECT_LT(ReadFileBytes(Out("Track1.opus")).size() * 8.0 / 1000.0 / seconds, 100.0);

    Store("OpusBitRate=300\n");
    EXPECT_NE(Sonfeld(Rip("Opus", "--tracks 1")), 0);
    EXPECT_NE(err_.find("The Opus bit rate 300 kbit/s is not one of 64 to 256."), std::string::npos)
        << err_;
}

// The stored "质量" and --mp3-vbr choose LAME's VBR presets; each file's
// header tells its exact length.
TEST_F(CommandLineTest, Mp3VbrPresetsFromTheStoreAndTheCommandLine)
{
    if (!ToolAvailable("lame"))
        GTEST_SKIP() << "lame missing";
    const auto vbrHeader = [](const std::filesystem::path& file) {
        const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
        return std::string(bytes.begin(), bytes.end()).find("Xing") != std::string::npos;
    };
    const auto lameSamples = [&](const std::filesystem::path& file) {
        const auto wav = file.string() + ".wav";
        EXPECT_EQ(RunCommand("lame --quiet --decode " + ShellQuote(file.string()) + " " +
                             ShellQuote(wav)),
                  0);
        return ReadFileBytes(wav).size() - 44;
    };
    Store("mp3Quality=V4\n");
    ASSERT_EQ(Sonfeld(Rip("MP3", "--tracks 1")), 0) << err_;
    EXPECT_TRUE(vbrHeader(Out("Track1.mp3")));
    EXPECT_EQ(lameSamples(Out("Track1.mp3")), disc_.TrackBytes(1).size());
    const auto v4 = std::filesystem::file_size(Out("Track1.mp3"));

    // The command line wins over the store for this rip.
    ASSERT_EQ(Sonfeld(Rip("MP3", "--tracks 1 --mp3-vbr 0")), 0) << err_;
    EXPECT_TRUE(vbrHeader(Out("Track1.mp3")));
    EXPECT_GT(std::filesystem::file_size(Out("Track1.mp3")), v4);
    EXPECT_EQ(lameSamples(Out("Track1.mp3")), disc_.TrackBytes(1).size());

    // Without a preset the constant rate stays, with its "Info" header.
    Store("");
    ASSERT_EQ(Sonfeld(Rip("MP3", "--tracks 2")), 0) << err_;
    EXPECT_FALSE(vbrHeader(Out("Track2.mp3")));
    EXPECT_EQ(FfprobeValue(Out("Track2.mp3"), "bit_rate"), "128000");

    EXPECT_EQ(Sonfeld(Rip("MP3", "--tracks 1 --mp3-vbr 3")), 2);
    EXPECT_NE(err_.find("--mp3-vbr \"3\" is not 0, 2 or 4."), std::string::npos) << err_;
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--tracks 1 --mp3-vbr 2")), 2);
    EXPECT_NE(err_.find("--mp3-vbr goes with --format MP3."), std::string::npos) << err_;
}

TEST_F(CommandLineTest, AdpcmFromTheStore)
{
    Store("wtWaveType=DVI IMA ADPCM\n");
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 2")), 0) << err_;
    EXPECT_EQ(FfprobeValue(Out("Track2.wav"), "codec_name"), "adpcm_ima_wav");
}

TEST_F(CommandLineTest, CompressionLevelsFromTheStore)
{
    Store("FLACCompressionLevel=0\nAPECompressionLevel=4000\n");
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 2")), 0) << err_;
    std::string blockSize;
    RunCommand("metaflac --show-min-blocksize " + ShellQuote(Out("Track2.flac").string()),
               &blockSize);
    EXPECT_EQ(blockSize, "1152\n"); // preset 0's block size; 5 would give 4096
    ASSERT_EQ(Sonfeld(Rip("Ape", "--tracks 2")), 0) << err_;
    // The level is the first field of the header after the 52-byte descriptor.
    const std::vector<std::uint8_t> ape = ReadFileBytes(Out("Track2.ape"));
    ASSERT_GT(ape.size(), 54U);
    EXPECT_EQ(ape[52] | (ape[53] << 8), 4000);

    // --level wins over the store for this rip.
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 3 --level 8")), 0) << err_;
    blockSize.clear();
    RunCommand("metaflac --show-min-blocksize " + ShellQuote(Out("Track3.flac").string()),
               &blockSize);
    EXPECT_EQ(blockSize, "4096\n");
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--tracks 1 --level 9")), 2);
    EXPECT_NE(err_.find("--level \"9\""), std::string::npos) << err_;
    EXPECT_EQ(Sonfeld(Rip("Wav", "--tracks 1 --level 5")), 2);
    EXPECT_NE(err_.find("--level goes with"), std::string::npos) << err_;

    Store("FLACCompressionLevel=12\n");
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--tracks 1")), 1);
    EXPECT_NE(err_.find("FLAC compression level 12"), std::string::npos) << err_;
    EXPECT_FALSE(std::filesystem::exists(Out("Track1.flac")));
}

TEST_F(CommandLineTest, ATrackThatFailsMakesTheExitNonZeroAndTheOthersAreRipped)
{
    // A folder where Track 2's file should go: it cannot be saved, whatever its name.
    std::filesystem::create_directories(Out("Track2.flac") / "mine");
    for (const char* store : {"sequentialMode=1\n", ""}) {
        SCOPED_TRACE(store);
        Store(store);
        EXPECT_EQ(Sonfeld(Rip("FLAC")), 1);
        EXPECT_NE(out_.find("Track 2: 转换失败"), std::string::npos) << out_;
        EXPECT_NE(err_.find("Track2.flac"), std::string::npos) << err_;
        for (int track : {1, 3})
            EXPECT_EQ(FfmpegDecode(Out("Track" + std::to_string(track) + ".flac")),
                      disc_.TrackBytes(track))
                << track;
        // The summary, as the window shows it, before the count.
        const std::size_t summary = out_.find("转换结束:\n  已转换 2 首音轨（共 3 首）。\n");
        EXPECT_NE(summary, std::string::npos) << out_;
        EXPECT_NE(out_.find("1 首未能转换:\n    Track 2: 无法把文件保存为", summary),
                  std::string::npos)
            << out_;
        EXPECT_LT(summary, out_.find("2 of 3 tracks ripped"));
        EXPECT_EQ(out_.find("转换完成!"), std::string::npos) << out_;
        for (const auto& name : Files())
            if (name != "Track2.flac")
                std::filesystem::remove(Out(name));
    }
}

TEST_F(CommandLineTest, QuietPrintsTheErrorsAndTheSummaryOnly)
{
    std::filesystem::create_directories(Out("Track2.flac") / "mine");
    EXPECT_EQ(Sonfeld(Rip("FLAC", "--quiet")), 1);
    EXPECT_NE(err_.find("Track2.flac"), std::string::npos) << err_;
    for (const char* chatter : {"->", "正在读取", "Track 1: "})
        EXPECT_EQ(out_.find(chatter), std::string::npos) << chatter << out_;
    // The summary as the window shows it, each track's line and the totals.
    EXPECT_NE(out_.find("转换结束:\n  已转换 2 首音轨（共 3 首）。\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  Track 2  转换失败  -"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  Track 3  完成转换  无法连接  "), std::string::npos) << out_;
    EXPECT_NE(out_.find("Totals: 2 of 3 ripped, 0 accurate, 0 mismatched, 1 failed"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("2 of 3 tracks ripped"), std::string::npos) << out_;
}

// Each line parsed as JSON; a line that is not an object fails the test.
std::vector<QJsonObject> JsonLines(const std::string& text)
{
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : QByteArray::fromStdString(text).split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(document.isObject()) << line.toStdString();
        objects.push_back(document.object());
    }
    return objects;
}

TEST_F(CommandLineTest, JsonListAndRipFollowTheSchema)
{
    const std::filesystem::path checker = SONFELD_CLI_TEST_DIR "/check_json_output.py";
    ASSERT_EQ(Sonfeld("--list --json --image " + ShellQuote(disc_.cue.string())), 0) << err_;
    const std::vector<QJsonObject> list = JsonLines(out_);
    ASSERT_EQ(list.size(), 1U) << out_;
    const QJsonArray discs = list[0].value("discs").toArray();
    ASSERT_EQ(discs.size(), 1);
    const QJsonObject disc = discs[0].toObject();
    const QJsonArray tracks = disc.value("tracks").toArray();
    ASSERT_EQ(tracks.size(), 3);
    EXPECT_EQ(tracks[0].toObject().value("frames").toInt(), 330);
    EXPECT_EQ(tracks[2].toObject().value("name").toString(), QStringLiteral("Track3"));
    const disc::DiscModel model = disc::CueImage::Open(disc_.cue)->Model();
    EXPECT_EQ(disc.value("ids").toObject().value("accuraterip").toString().toStdString(),
              disc::ComputeAccurateRipId(model).Text());
    WriteFileBytes(logs_.Path() / "list.json", {out_.begin(), out_.end()});
    std::string problems;
    EXPECT_EQ(RunCommand("python3 " + ShellQuote(checker.string()) + " list " +
                             ShellQuote((logs_.Path() / "list.json").string()),
                         &problems),
              0)
        << problems;

    ASSERT_EQ(Sonfeld(Rip("Wav", "--json")), 0) << err_;
    const std::vector<QJsonObject> events = JsonLines(out_);
    ASSERT_FALSE(events.empty());
    std::vector<int> doneTracks;
    for (const QJsonObject& event : events)
        if (event.value("event").toString() == QStringLiteral("track-done")) {
            EXPECT_EQ(event.value("status").toString(), QStringLiteral("ripped"));
            doneTracks.push_back(event.value("track").toInt());
        }
    std::sort(doneTracks.begin(), doneTracks.end());
    EXPECT_EQ(doneTracks, (std::vector<int>{1, 2, 3})) << out_;
    EXPECT_EQ(events.back().value("event").toString(), QStringLiteral("rip-done"));
    EXPECT_EQ(events.back().value("ripped").toInt(), 3);
    // The human lines went to standard error.
    EXPECT_NE(err_.find("3 of 3 tracks ripped"), std::string::npos) << err_;
    // The schema, and each file's CRC32 computed again from its audio.
    WriteFileBytes(logs_.Path() / "rip.json", {out_.begin(), out_.end()});
    EXPECT_EQ(RunCommand("python3 " + ShellQuote(checker.string()) + " rip " +
                             ShellQuote((logs_.Path() / "rip.json").string()),
                         &problems),
              0)
        << problems << out_;
}

TEST_F(CommandLineTest, OnATerminalTheRunningTracksAreRedrawnInPlace)
{
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    int terminal = -1;
    const std::string program = InProgramFolder("sonfeld");
    const std::string config = config_.Path().string();
    const std::vector<std::string> arguments = {
        program,    "--rip", "--image", disc_.cue.string(),
        "--format", "Wav",   "--out",   out_dir_.Path().string()};
    const pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("TERM", "xterm", 1);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    // The terminal reports an error once the program and its output are gone.
    for (ssize_t got; (got = read(terminal, buffer, sizeof(buffer))) > 0;)
        screen.append(buffer, static_cast<std::size_t>(got));
    close(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << screen;

    // Drawn, then up over the lines drawn, wiped and drawn again.
    EXPECT_NE(screen.find("\x1b[2KTrack 1   正在读取  ["), std::string::npos) << screen;
    EXPECT_NE(screen.find("\x1b[2KOverall "), std::string::npos) << screen;
    EXPECT_NE(screen.find("\r\x1b[2A\x1b[J"), std::string::npos) << screen;
    // Running tracks are no lines of their own; ended ones are.
    EXPECT_EQ(screen.find("Track 1: 正在读取"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Track 3: 完成转换\r\n"), std::string::npos) << screen;
    // The progress lines are wiped at the end; the table and the totals stay.
    const std::size_t lastWipe = screen.rfind("\x1b[J");
    ASSERT_NE(lastWipe, std::string::npos);
    EXPECT_EQ(screen.find("\x1b[2K", lastWipe), std::string::npos) << screen;
    const std::string end = screen.substr(lastWipe + 3);
    EXPECT_NE(end.find("  Track    Status    Verdict   CRC32\r\n  Track 1  完成转换  无法连接  "),
              std::string::npos)
        << end;
    EXPECT_NE(end.find("Totals: 3 of 3 ripped"), std::string::npos) << end;
    EXPECT_NE(end.find("3 of 3 tracks ripped into"), std::string::npos) << end;
}

TEST_F(CommandLineTest, ADataTrackAskedForByNumberIsABadArgument)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "data.bin", std::vector<std::uint8_t>(300 * 2352, 0x5A));
    WriteFileBytes(dir.Path() / "audio.bin", std::vector<std::uint8_t>(300 * 2352, 7));
    const std::filesystem::path cue = dir.Path() / "mixed.cue";
    std::ofstream(cue) << "FILE data.bin BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                          "FILE audio.bin BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
    const std::string rip = "--rip --image " + ShellQuote(cue.string()) + " --format Wav --out " +
                            ShellQuote(out_dir_.Path().string());
    EXPECT_EQ(Sonfeld(rip + " --tracks 1"), 2);
    EXPECT_NE(err_.find("Track 1 is a data track (数据轨)"), std::string::npos) << err_;
    EXPECT_EQ(out_.find("tracks ripped"), std::string::npos) << out_;
    EXPECT_TRUE(Files().empty());
    ASSERT_EQ(Sonfeld(rip + " --tracks 2"), 0) << out_ << err_;
    EXPECT_NE(out_.find("1 of 1 tracks ripped"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, TagsThatCannotBeWrittenFailTheTrack)
{
    // The program beside its CD library but without the tag library.
    TempDir programs;
    for (const char* file : {"sonfeld", "libcdrip.so"})
        std::filesystem::copy_file(InProgramFolder(file), programs.Path() / file);
    program_ = (programs.Path() / "sonfeld").string();
    for (const char* store : {"sequentialMode=1\n", ""}) {
        SCOPED_TRACE(store);
        Store(store);
        EXPECT_EQ(Sonfeld(Rip("FLAC", "--tracks 1,2")), 1);
        EXPECT_NE(err_.find("libsonfeld_tags.so library could not be loaded."), std::string::npos)
            << err_;
        EXPECT_NE(out_.find("Track 1: 转换失败"), std::string::npos) << out_;
        EXPECT_NE(out_.find("Track 2: 转换失败"), std::string::npos) << out_;
        EXPECT_NE(out_.find("0 of 2 tracks ripped"), std::string::npos) << out_;
        // No file under its name, none left under a temporary one.
        EXPECT_TRUE(Files().empty());
    }
    // Without full tags the same program rips.
    Store("writeFullTags=0\n");
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 1")), 0) << err_;
    EXPECT_EQ(FfmpegDecode(Out("Track1.flac")), disc_.TrackBytes(1));
}

// The files named by a cue sheet, as cuetools reads it.
std::vector<std::string> SheetFiles(const std::filesystem::path& sheet)
{
    std::string toc;
    RunCommand("cueconvert -i cue -o toc " + ShellQuote(sheet.string()), &toc);
    std::vector<std::string> files;
    for (std::size_t at = toc.find("FILE \""); at != std::string::npos;
         at = toc.find("FILE \"", at + 1))
        files.push_back(toc.substr(at + 6, toc.find('"', at + 6) - at - 6));
    return files;
}

TEST_F(CommandLineTest, NamesAreCleanedShortenedAndKeptInsideTheFolder)
{
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 1 --name '1=\"Quoted\" Song: A/B?' "
                                 "--album '../../../x'")),
              0)
        << out_ << err_;
    const std::string file = "_Quoted_ Song_ A_B_.wav";
    EXPECT_EQ(Files(), (std::vector<std::string>{".._.._.._x.cue", ".._.._.._x.log", file}));
    EXPECT_NE(out_.find("Track 1 -> " + Out(file).string() + "\n"), std::string::npos) << out_;
    EXPECT_EQ(FfprobeTag(Out(file), "title"), "\"Quoted\" Song: A/B?");
    EXPECT_EQ(SheetFiles(Out(".._.._.._x.cue")), std::vector<std::string>{file});
    EXPECT_EQ(Sonfeld("--check-log " + ShellQuote(Out(".._.._.._x.log").string())), 0) << err_;

    // Names that differ only in case are one file on FAT and NTFS.
    std::filesystem::remove_all(out_dir_.Path());
    EXPECT_EQ(Sonfeld(Rip("Wav", "--name 1=Intro --name 2=intro")), 1) << out_;
    EXPECT_NE(out_.find("Track 1、Track 2"), std::string::npos) << out_;
    EXPECT_FALSE(std::filesystem::exists(out_dir_.Path())) << out_;

    // 86 and 90 characters of 3 bytes: each name fits the file system, and
    // the real path, its template's folder included, is printed.
    std::string title;
    std::string album;
    for (int i = 0; i < 90; ++i) {
        if (i < 86)
            title += "港";
        album += "湾";
    }
    ASSERT_EQ(Sonfeld(Rip("FLAC", "--tracks 2 --name '2=" + title + "' --album '" + album +
                                      "' --template '{album}/{title}'")),
              0)
        << out_ << err_;
    const std::filesystem::path longPath =
        Out(album.substr(0, 85 * 3)) / (title.substr(0, 83 * 3) + ".flac");
    EXPECT_TRUE(std::filesystem::exists(longPath)) << out_;
    EXPECT_NE(out_.find("Track 2 -> " + longPath.string() + "\n"), std::string::npos) << out_;
}

TEST_F(CommandLineTest, DiscNamesListInDiscOrderWithoutControlCharacters)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "songs.bin", Sectors(900, 3));
    // A crafted sheet: C1 escape sequences (CSI, OSC) in its titles.
    WriteText(dir.Path() / "album.cue", "TITLE \"Bay\"\nFILE \"songs.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    TITLE \"Zed\t\xc2\x9b"
                                        "2J\"\n"
                                        "    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    TITLE \"Alpha \xc2\x9b"
                                        "31m\xc2\x9d"
                                        "0;t\"\n"
                                        "    INDEX 01 00:04:00\n"
                                        "  TRACK 03 AUDIO\n    INDEX 01 00:08:00\n");
    const std::string image = ShellQuote((dir.Path() / "album.cue").string());
    ASSERT_EQ(Sonfeld("--list --image " + image), 0) << err_;
    for (const std::string control : {"\t", "\xc2\x9b", "\xc2\x9d"})
        EXPECT_EQ(out_.find(control), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 2   Alpha _31m_0;t"), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld("--rip --image " + image + " --format Wav --out " +
                      ShellQuote(out_dir_.Path().string())),
              0)
        << out_ << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"01 Zed _2J.wav", "02 Alpha _31m_0;t.wav",
                                                 "03 Track3.wav", "rip.cue", "rip.log"}));
    EXPECT_EQ(FfprobeTag(Out("02 Alpha _31m_0;t.wav"), "title"), "Alpha 31m0;t");
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
    EXPECT_TRUE(err_.ends_with("\nsee sonfeld --help\n")) << err_;
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
        for (const char* name : {"--image PATH", "--list", "--rip", "--drive N", "--format FORMAT",
                                 "--out DIR", "--tracks", "--name N=TEXT", "--album TEXT", "--json",
                                 "--quiet", "--repair PATH", "-h, --help", "-v, --version"})
            EXPECT_NE(out_.find(name), std::string::npos) << name;
        // The tracks are ripped several at once, not one after another.
        EXPECT_EQ(out_.find("one after another"), std::string::npos) << out_;
        EXPECT_EQ(out_.find("逐一"), std::string::npos) << out_;
        EXPECT_NE(out_.find("用法 / Usage"), std::string::npos) << out_;
        EXPECT_NE(out_.find("Sonfeld 提取音频CD。"), std::string::npos) << out_;
        EXPECT_NE(out_.find("Sonfeld rips audio CDs."), std::string::npos) << out_;
        EXPECT_NE(out_.find("输出目录\n      Output folder\n"), std::string::npos) << out_;
    }
    // A usage error: its reason on one line, then where the help is.
    EXPECT_EQ(Sonfeld("--version --list"), 2);
    EXPECT_NE(err_.find("cannot be combined"), std::string::npos) << err_;
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 2) << err_;
    EXPECT_TRUE(err_.ends_with(".\nsee sonfeld --help\n")) << err_;
    for (const char* clash : {"--rip --json --quiet --image x.cue --format wav --out o",
                              "--list --quiet", "--check-log x.log --json"}) {
        EXPECT_EQ(Sonfeld(clash), 2) << clash;
        EXPECT_TRUE(err_.ends_with("\nsee sonfeld --help\n")) << clash << err_;
    }
}

TEST_F(CommandLineTest, TheDemoDiscOfTheBuild)
{
    const std::filesystem::path demo =
        std::filesystem::path(ProgramFolder()).parent_path() / "demo" / "demo.cue";
    if (!std::filesystem::exists(demo))
        GTEST_SKIP() << "the demo disc is not built";
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(demo.string())), 0) << err_;
    // Its CD-TEXT titles name the tracks.
    EXPECT_NE(out_.find("Track 1   Morning Light    [1] - 0:24"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Track 4   Evening Lanterns [4] - 0:17"), std::string::npos) << out_;
    EXPECT_NE(out_.find("\n  [3] - 0:21  pregap 00:01:00  \"Quiet Garden\"\n"), std::string::npos)
        << out_;
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

TEST_F(CommandLineTest, HangupAndASecondTerminationStopCleanly)
{
    QProcess rip;
    StartSlowRip(rip);
    ::kill(static_cast<pid_t>(rip.processId()), SIGHUP);
    ASSERT_TRUE(rip.waitForFinished(20000));
    EXPECT_EQ(rip.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(rip.exitCode(), 130);
    EXPECT_TRUE(Files().empty());

    // The second once the first has stopped the track, while the program winds up.
    QProcess again;
    StartSlowRip(again);
    ::kill(static_cast<pid_t>(again.processId()), SIGTERM);
    QByteArray seen;
    while (!seen.contains("用户取消") && again.waitForReadyRead(20000))
        seen += again.readAll();
    ::kill(static_cast<pid_t>(again.processId()), SIGTERM);
    ASSERT_TRUE(again.waitForFinished(20000));
    EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(again.exitCode(), 130);
    // Whatever the second one left, the next rip clears.
    Store("");
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 2")), 0) << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"Track2.wav", "rip.cue", "rip.log"}));
}

// sonfeld --rip … | head: the reader going away stops the rip cleanly.
TEST_F(CommandLineTest, AReaderThatGoesAwayStopsTheRip)
{
    Store("CPU_INT=100\n");
    const std::filesystem::path status = logs_ / "status.txt";
    std::string shown;
    RunCommand("{ XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) + " " +
                   ShellQuote(InProgramFolder("sonfeld")) + " " + Rip("Wav", "--tracks 1") + " 2>" +
                   ShellQuote((logs_ / "err.txt").string()) + "; echo $? >" +
                   ShellQuote(status.string()) + "; } | head -n 1",
               &shown);
    const std::vector<std::uint8_t> code = ReadFileBytes(status);
    const std::vector<std::uint8_t> err = ReadFileBytes(logs_ / "err.txt");
    // Exited by itself, not killed by the signal (which a shell also shows as 141).
    EXPECT_EQ(std::string(code.begin(), code.end()), "141\n") << shown;
    const std::string errText(err.begin(), err.end());
    EXPECT_NE(errText.find("reader went away"), std::string::npos) << errText;
    EXPECT_TRUE(Files().empty());
}

// Links planted in the folder lead nowhere outside it.
TEST_F(CommandLineTest, PlantedLinksAreNotFollowedOutOfTheFolder)
{
    TempDir elsewhere;
    WriteFileBytes(elsewhere / "victim", {'k', 'e', 'e', 'p'});
    std::filesystem::create_symlink(elsewhere / "victim", Out(".sonfeld.lock"));
    std::filesystem::create_symlink(elsewhere / "log", Out("rip.log"));
    std::filesystem::create_symlink(elsewhere / "cue", Out("rip.cue"));
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 1")), 0) << err_;
    EXPECT_EQ(ReadFileBytes(elsewhere / "victim"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "log"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "cue"));
    std::vector<std::string> regular;
    for (const std::string& name : Files())
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(Out(name))))
            regular.push_back(name);
    EXPECT_EQ(regular, (std::vector<std::string>{"Track1.wav", "rip (2).cue", "rip (2).log"}));
}

// A rip into a folder below one that a running rip writes into (through its
// template) is refused, and takes nothing of the running one's.
TEST_F(CommandLineTest, ARipIntoAFolderBelowARunningRipIsRefused)
{
    QProcess outer;
    StartSlowRip(outer, {QStringLiteral("--template"), QStringLiteral("sub/{title}")});
    std::vector<std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(Out("sub")))
        before.push_back(entry.path().filename().string());
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(Sonfeld("--rip --image " + ShellQuote(disc_.cue.string()) +
                      " --format Wav --tracks 2 --out " + ShellQuote(Out("sub").string())),
              1);
    EXPECT_NE(err_.find("另一个 Sonfeld"), std::string::npos) << err_;
    for (const std::string& name : before)
        EXPECT_TRUE(std::filesystem::exists(Out("sub") / name)) << name;
    ::kill(static_cast<pid_t>(outer.processId()), SIGTERM);
    ASSERT_TRUE(outer.waitForFinished(20000));
    EXPECT_EQ(outer.exitCode(), 130);
}

// A killed rip's spool files, also in template sub-folders, go with the next rip there.
TEST_F(CommandLineTest, TheLeftoversOfAKilledRipGoAlsoInSubFolders)
{
    QProcess killed;
    killed.start(QStringLiteral("true"));
    ASSERT_TRUE(killed.waitForFinished());
    const std::string pid = std::to_string(killed.processId());
    std::filesystem::create_directories(Out("sub"));
    for (const std::string& name :
         {".sonfeld-" + pid + "-1.part.mp3.pcm", "sub/.sonfeld-" + pid + "-2.part.wav",
          "sub/.sonfeld-" + pid + "-2.part.wav.pcm"})
        WriteFileBytes(Out(name), std::vector<std::uint8_t>(1000, 1));
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 1 --template sub/{title}")), 0) << err_;
    EXPECT_EQ(Files(), (std::vector<std::string>{"rip.cue", "rip.log", "sub"}));
    std::vector<std::string> below;
    for (const auto& entry : std::filesystem::directory_iterator(Out("sub")))
        below.push_back(entry.path().filename().string());
    EXPECT_EQ(below, std::vector<std::string>{"Track1.wav"});
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
    WriteFileBytes(libraries.Path() / "libmp3lame.so.0", {});
    env_ = "LD_LIBRARY_PATH=" + ShellQuote(libraries.Path().string()) + " ";
    ASSERT_EQ(Sonfeld("--list --image " + ShellQuote(disc_.cue.string())), 0) << err_;
    EXPECT_NE(out_.find("Track 3"), std::string::npos) << out_;
    ASSERT_EQ(Sonfeld(Rip("Wav", "--tracks 1")), 0) << err_;
    EXPECT_EQ(FfmpegDecode(Out("Track1.wav")), disc_.TrackBytes(1));
    EXPECT_EQ(Sonfeld(Rip("MP3", "--tracks 2")), 1);
    EXPECT_NE(err_.find("libmp3lame"), std::string::npos) << err_;
    EXPECT_FALSE(std::filesystem::exists(Out("Track2.mp3")));
}

TEST_F(CommandLineTest, AFolderNamedByBytesThatAreNotUtf8IsUsedAsGiven)
{
    // Not valid UTF-8: a lossy decoding would write into another folder.
    const std::filesystem::path folder = out_dir_.Path() / std::string("唱片\xff\xfe") /
                                         "a\x80"
                                         "b";
    ASSERT_EQ(Sonfeld("--rip --image " + ShellQuote(disc_.cue.string()) +
                      " --format Wav --tracks 1,2 --out " + ShellQuote(folder.string())),
              0)
        << err_;
    EXPECT_EQ(Files(), std::vector<std::string>{std::string("唱片\xff\xfe")});
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.parent_path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"a\x80"
                                              "b"});
    names.clear();
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    // The log and the sheet too, in the same folder.
    EXPECT_EQ(names, (std::vector<std::string>{"Track1.wav", "Track2.wav", "rip.cue", "rip.log"}));
    EXPECT_EQ(FfmpegDecode(folder / "Track2.wav"), disc_.TrackBytes(2));

    // With overwriting off, the files are found in that same folder.
    Store("chkOverRide=1\n");
    EXPECT_EQ(Sonfeld("--rip --image " + ShellQuote(disc_.cue.string()) +
                      " --format Wav --tracks 1 --out " + ShellQuote(folder.string())),
              1);
    EXPECT_NE(out_.find("找到同名的文件"), std::string::npos) << out_;
}

} // namespace
} // namespace sonfeld::test
