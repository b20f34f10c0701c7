// ReplayGain as the program writes it while ripping: track values measured on
// the read, album values once the whole album is ripped, each checked against
// ffmpeg's EBU R128 meter on the disc's own audio and read back with metaflac
// and mid3v2.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "audio/core/dynamic_library.h"
#include "settings_sandbox.h"
#include "support/disc_fixture.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

namespace fs = std::filesystem;

struct Measured {
    double gain = NAN; // dB to -18 LUFS
    double peak = NAN; // linear
};

// ffmpeg's integrated loudness and sample peak of raw CD audio, as ReplayGain values.
Measured MeasureWithFfmpeg(const std::vector<std::uint8_t>& pcm, const fs::path& raw)
{
    WriteFileBytes(raw, pcm);
    const FfmpegLoudness measured = MeasureLoudnessWithFfmpeg(raw);
    return {-18.0 - measured.loudness, std::pow(10.0, measured.peakDb / 20)};
}

// "-6.48 dB" or "0.988525" as a number; NAN when absent.
double Number(const std::map<std::string, std::string>& fields, const std::string& key)
{
    const auto found = fields.find(key);
    return found == fields.end() ? NAN : std::stod(found->second);
}

class ReplayGainRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("metaflac") || !ToolAvailable("mid3v2"))
            GTEST_SKIP() << "ffmpeg, metaflac or mid3v2 is not installed";
        // Three tracks of clearly different loudness, long enough that the
        // blocks an album measurement of one stream has across the track
        // boundaries weigh little.
        disc_image::DiscSpec spec;
        spec.title = "Levels";
        const std::pair<disc_image::SignalKind, double> levels[] = {
            {disc_image::SignalKind::Tone, 0.5},
            {disc_image::SignalKind::Noise, 0.08},
            {disc_image::SignalKind::Sweep, 0.9}};
        unsigned seed = 1;
        for (const auto& [kind, amplitude] : levels) {
            disc_image::TrackSpec track = AudioTrack(kind, 1500, 0, seed++);
            track.signal.amplitude = amplitude;
            spec.tracks.push_back(track);
        }
        MakeDisc(disc_, spec);
        Store("");
    }

    void Store(const std::string& lines)
    {
        fs::create_directories(config_.Path() / "Tessaly");
        std::ofstream(config_.Path() / "Tessaly" / "CDRip.conf")
            << "[General]\nAccurateRipServer=http://127.0.0.1:" << UnusedLocalPort()
            << "/accuraterip\n"
            << ClosedNameServers() << "FileNameTemplate={track}\n"
            << lines;
    }

    int Rip(const std::string& format, const std::string& more = "")
    {
        fs::remove_all(out_.Path());
        fs::create_directories(out_.Path());
        return RunCommand("XDG_CONFIG_HOME=" + ShellQuote(config_.Path().string()) + " " +
                              ShellQuote(InProgramFolder("sonfeld")) + " --rip --image " +
                              ShellQuote(disc_.cue.string()) + " --format " + format + " --out " +
                              ShellQuote(out_.Path().string()) + " " + more + " 2>&1",
                          &output_);
    }

    // The ReplayGain fields of a file, by their Vorbis names.
    std::map<std::string, std::string> Gains(const fs::path& file)
    {
        std::map<std::string, std::string> fields;
        std::string text;
        const bool flac = file.extension() == ".flac";
        RunCommand(flac ? "metaflac --export-tags-to=- " + ShellQuote(file.string())
                        : "mid3v2 --list " + ShellQuote(file.string()),
                   &text);
        // metaflac: "REPLAYGAIN_TRACK_GAIN=-6.48 dB"; mid3v2: "TXXX=replaygain_track_gain=-6.48
        // dB".
        const std::regex line(flac ? R"((REPLAYGAIN_\w+)=(.*))" : R"(TXXX=(replaygain_\w+)=(.*))");
        for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
            std::string key = (*it)[1];
            for (char& c : key)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            fields[key] = (*it)[2];
        }
        return fields;
    }

    std::string Log()
    {
        std::string text;
        for (const auto& entry : fs::directory_iterator(out_.Path()))
            if (entry.path().extension() == ".log") {
                const auto bytes = ReadFileBytes(entry.path());
                text.append(bytes.begin(), bytes.end());
            }
        return text;
    }

    DiscFixture disc_;
    TempDir config_;
    TempDir out_;
    TempDir scratch_;
    std::string output_;
};

TEST_F(ReplayGainRipTest, TrackAndAlbumValuesAgreeWithFfmpegInEveryFile)
{
    std::vector<Measured> tracks;
    std::vector<std::uint8_t> album;
    for (int track = 1; track <= 3; ++track) {
        const auto pcm = disc_.TrackBytes(track);
        tracks.push_back(MeasureWithFfmpeg(pcm, scratch_ / "track.raw"));
        album.insert(album.end(), pcm.begin(), pcm.end());
    }
    const Measured whole = MeasureWithFfmpeg(album, scratch_ / "album.raw");
    ASSERT_FALSE(std::isnan(whole.gain));
    // The tracks differ enough that a mix-up between them would show.
    ASSERT_GT(std::abs(tracks[0].gain - tracks[1].gain), 3.0);

    for (const std::string format : {"FLAC", "MP3"}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(Rip(format), 0) << output_;
        const std::string extension = format == "FLAC" ? ".flac" : ".mp3";
        for (int track = 1; track <= 3; ++track) {
            SCOPED_TRACE(track);
            const auto gains = Gains(out_.Path() / (std::to_string(track) + extension));
            EXPECT_NEAR(Number(gains, "REPLAYGAIN_TRACK_GAIN"), tracks[track - 1].gain, 0.1);
            EXPECT_NEAR(Number(gains, "REPLAYGAIN_TRACK_PEAK"), tracks[track - 1].peak, 0.01);
            EXPECT_NEAR(Number(gains, "REPLAYGAIN_ALBUM_GAIN"), whole.gain, 0.1);
            EXPECT_NEAR(Number(gains, "REPLAYGAIN_ALBUM_PEAK"), whole.peak, 0.01);
        }
    }
    EXPECT_NE(Log().find("专辑增益："), std::string::npos) << Log();
}

TEST_F(ReplayGainRipTest, PartOfTheAlbumGetsNoAlbumValuesAndTheLogSaysWhy)
{
    // One track at a time: the queue's other way of reading measures too.
    Store("sequentialMode=1\n");
    ASSERT_EQ(Rip("FLAC", "--tracks 1,3"), 0) << output_;
    for (const char* file : {"1.flac", "3.flac"}) {
        const auto gains = Gains(out_.Path() / file);
        EXPECT_EQ(gains.count("REPLAYGAIN_TRACK_GAIN"), 1U) << file;
        EXPECT_EQ(gains.count("REPLAYGAIN_ALBUM_GAIN"), 0U) << file;
        EXPECT_EQ(gains.count("REPLAYGAIN_ALBUM_PEAK"), 0U) << file;
    }
    EXPECT_NE(Log().find("未写入专辑增益：本次没有转换并测量全部音轨（缺少音轨 2）。"),
              std::string::npos)
        << Log();

    ASSERT_EQ(Rip("FLAC", "--no-replaygain"), 0) << output_;
    EXPECT_TRUE(Gains(out_.Path() / "2.flac").empty());
}

} // namespace
} // namespace sonfeld::test
