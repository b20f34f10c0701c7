// cdrdao TOC and NRG images read by our own readers through the real
// libcdrip.so: names beside the TOC file whatever the working folder, WAV and
// big-endian raw files, CD-TEXT, both Nero formats, and rips identical to the
// same audio as a CUE/BIN image in every reading mode.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/cd/disc_model_reading.h"
#include "support/disc_fixture.h"
#include "support/image_writers.h"
#include "support/read_input.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

constexpr std::size_t kSector = 2352;

Bytes Noise(std::size_t sectors, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes data(sectors * kSector);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(random());
    return data;
}

Bytes Swapped(Bytes bytes)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

Bytes Slice(const Bytes& from, std::int64_t firstSector, std::int64_t endSector)
{
    return {from.begin() + firstSector * static_cast<std::int64_t>(kSector),
            from.begin() + endSector * static_cast<std::int64_t>(kSector)};
}

disc::DiscModel ModelOf(int drive)
{
    auto model = ReadDiscModel(drive);
    if (!model)
        throw std::runtime_error("no model: " + cdrip::LastError());
    return *model;
}

// Each track of the drive, ripped in mode, equals its slice of disc.
void ExpectTracksEqual(int drive, const Bytes& disc, TCDReadMode mode = rmSecure)
{
    TCDIn input;
    input.SetCurrentDrive(drive);
    input.SetReadMode(mode);
    const disc::DiscModel model = ModelOf(drive);
    ASSERT_EQ(static_cast<std::size_t>(model.leadOutLsn) * kSector, disc.size());
    for (const disc::Track& track : model.tracks) {
        SCOPED_TRACE("track " + std::to_string(track.number));
        input.SetStartTrack(track.number);
        input.SetEndTrack(track.number);
        EXPECT_TRUE(ReadWholeInput(input, 100000) == Slice(disc, track.startLsn, track.endLsn));
        const TCDRipReport report = input.RipReport();
        EXPECT_EQ(report.Corrected + report.Uncorrected + report.ReadErrors, 0);
    }
}

// Runs in another working folder and comes back.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_;
};

TEST(TocImageTest, NamesAreReadBesideTheTocWithWavDataAndBigEndianRawAudio)
{
    TempDir dir;
    TempDir elsewhere;
    const Bytes one = Noise(300, 1);
    const Bytes two = Noise(250, 2);
    WriteFileBytes(dir / "one.cdr", Swapped(one));
    WriteCdWaveFile(dir / "two.wav", two);
    // Files of the same names in the working folder must never be read.
    WriteFileBytes(elsewhere / "one.cdr", Noise(300, 9));
    WriteCdWaveFile(elsewhere / "two.wav", Noise(250, 8));
    std::ofstream(dir / "disc.toc") << R"(CD_DA
CATALOG "1234567890123"
CD_TEXT { LANGUAGE_MAP { 0 : EN }
  LANGUAGE 0 { TITLE "Harbour Lights" PERFORMER "Ada North" SIZE_INFO { 1, 2 } } }
// A comment, then the tracks.
TRACK AUDIO
COPY
ISRC "XXZZZ0100001"
CD_TEXT { LANGUAGE 0 { TITLE "Low Water" PERFORMER "Ada North" } }
FILE "one.cdr" 0
TRACK AUDIO
PRE_EMPHASIS
PREGAP 00:01:00
AUDIOFILE "two.wav" 0 00:03:25
INDEX 00:01:00
TRACK AUDIO
SILENCE 00:00:10
FILE "one.cdr" 58800 29400
START 00:00:10
)";
    Bytes disc = one;
    disc.resize(disc.size() + 75 * kSector, 0);
    disc.insert(disc.end(), two.begin(), two.end());
    disc.resize(disc.size() + 10 * kSector, 0);
    const Bytes part = Slice(one, 100, 150);
    disc.insert(disc.end(), part.begin(), part.end());

    const InFolder inElsewhere(elsewhere.Path());
    const int drive = LoadRealLibraryWithImages({dir / "disc.toc"});
    const disc::DiscModel model = ModelOf(drive);
    ASSERT_EQ(model.tracks.size(), 3u);
    EXPECT_EQ(model.mcn, "1234567890123");
    EXPECT_EQ(model.text.title, "Harbour Lights");
    EXPECT_EQ(model.text.performer, "Ada North");
    const disc::Track& first = model.tracks[0];
    EXPECT_EQ(first.text.title, "Low Water");
    EXPECT_EQ(first.isrc, "XXZZZ0100001");
    EXPECT_TRUE(first.copyPermitted);
    EXPECT_FALSE(first.preEmphasis);
    EXPECT_TRUE(model.tracks[1].preEmphasis);
    EXPECT_EQ(model.tracks[1].pregapLsn, 300);
    EXPECT_EQ(model.tracks[1].startLsn, 375);
    EXPECT_EQ(model.tracks[2].pregapLsn, 625);
    EXPECT_EQ(model.tracks[2].startLsn, 635);
    EXPECT_EQ(model.leadOutLsn, 685);
    ExpectTracksEqual(drive, disc);
}

TEST(TocImageTest, RawAudioIsBigEndianAsCdrdaoShowsIt)
{
    if (!ToolAvailable("cdrdao"))
        GTEST_SKIP() << "cdrdao is not installed";
    TempDir dir;
    const Bytes audio = Noise(300, 5);
    WriteFileBytes(dir / "a.cdr", Swapped(audio));
    std::ofstream(dir / "a.toc") << "CD_DA\nTRACK AUDIO\nFILE \"a.cdr\" 0\n";
    // cdrdao names its files from the working folder; show-data prints each
    // sample it would write as "index: left right" in decimal.
    std::string shown;
    ASSERT_EQ(RunCommand("cd " + ShellQuote(dir.Path().string()) +
                             " && cdrdao show-data --force a.toc 2>/dev/null | head -n 600",
                         &shown),
              0);
    const int drive = LoadRealLibraryWithImages({dir / "a.toc"});
    ExpectTracksEqual(drive, audio, rmFast);
    std::istringstream lines(shown);
    std::string line;
    int compared = 0;
    while (std::getline(lines, line)) {
        int index = 0;
        int left = 0;
        int right = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d:%d %d", &index, &left, &right), 3) << line;
        const auto at = static_cast<std::size_t>(index) * 4;
        EXPECT_EQ(static_cast<std::int16_t>(audio[at] | audio[at + 1] << 8), left) << line;
        EXPECT_EQ(static_cast<std::int16_t>(audio[at + 2] | audio[at + 3] << 8), right) << line;
        ++compared;
    }
    EXPECT_EQ(compared, 600);
}

TEST(NrgImageTest, BothFormatsWithCdTextRipLikeTheSameCueImage)
{
    DiscFixture cue;
    MakeAudioDisc(cue, {320, 300, 310});
    const int cueDrive = LoadRealLibraryWithImages({cue.cue});
    const disc::DiscModel cueModel = ModelOf(cueDrive);

    NrgSpec spec;
    spec.mcn = "0000000000017";
    for (const disc::Track& track : cueModel.tracks)
        spec.tracks.push_back(Slice(cue.bin, track.startLsn, track.endLsn));
    // CD-TEXT made libcdio free its memory twice.
    spec.extra = {{"MTYP", Bytes(4, 0)},
                  {"CDTX", CdTextPacks({{"Harbour Lights", "Ada North"},
                                        {"Low Water", "Ada North"},
                                        {"Slack Tide and a title long enough", "The Tides"},
                                        {"Flood", "Ada North"}})}};
    WriteFileBytes(cue.dir / "new.nrg", NrgImage(spec));
    spec.oldFormat = true;
    WriteFileBytes(cue.dir / "old.nrg", NrgImage(spec));
    spec.trackByTrack = true;
    // Named otherwise: the footer tells an NRG image.
    WriteFileBytes(cue.dir / "tracks.img", NrgImage(spec));

    for (const char* name : {"new.nrg", "old.nrg"}) {
        SCOPED_TRACE(name);
        const int drive = LoadRealLibraryWithImages({cue.dir / name});
        const disc::DiscModel model = ModelOf(drive);
        ASSERT_EQ(model.tracks.size(), 3u);
        EXPECT_EQ(model.mcn, "0000000000017");
        EXPECT_EQ(model.text.title, "Harbour Lights");
        EXPECT_EQ(model.tracks[1].text.title, "Slack Tide and a title long enough");
        EXPECT_EQ(model.tracks[1].text.performer, "The Tides");
        EXPECT_EQ(model.tracks[2].text.title, "Flood");
        for (const TCDReadMode mode : {rmFast, rmSecure})
            ExpectTracksEqual(drive, cue.bin, mode);
    }

    // Written track by track: 150 sectors the file does not hold between tracks.
    const int drive = LoadRealLibraryWithImages({cue.dir / "tracks.img"});
    const disc::DiscModel model = ModelOf(drive);
    ASSERT_EQ(model.tracks.size(), 3u);
    Bytes disc;
    for (std::size_t t = 0; t < spec.tracks.size(); ++t) {
        if (t > 0)
            disc.resize(disc.size() + 150 * kSector, 0);
        EXPECT_EQ(model.tracks[t].startLsn, static_cast<std::int32_t>(disc.size() / kSector));
        disc.insert(disc.end(), spec.tracks[t].begin(), spec.tracks[t].end());
    }
    ExpectTracksEqual(drive, disc);
}

// Near-periodic audio, which paranoia's verification shifted by whole periods
// on a libcdio-read TOC image, comes back exactly in either mode.
TEST(TocImageTest, NearPeriodicAudioRipsExactlyInFastAndSecureModes)
{
    TempDir dir;
    const std::vector<Bytes> tracks = WriteNearPeriodicToc(dir.Path(), {1300, 2500, 1700});
    Bytes disc;
    for (const Bytes& track : tracks)
        disc.insert(disc.end(), track.begin(), track.end());
    const int drive = LoadRealLibraryWithImages({dir / "near.toc"});
    for (const TCDReadMode mode : {rmFast, rmSecure})
        ExpectTracksEqual(drive, disc, mode);
}

} // namespace
} // namespace sonfeld::test
