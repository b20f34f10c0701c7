// The disc-image maker, checked through libcdio's own image driver.

#include <gtest/gtest.h>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "audio/core/dynamic_library.h"
#include "data_sector.h"
#include "support/disc_fixture.h"
#include "support/signals.h"

namespace sonfeld::test {
namespace {

using disc_image::SignalKind;

struct CdioCloser {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using Cdio = std::unique_ptr<CdIo_t, CdioCloser>;

Cdio Open(const std::filesystem::path& cue)
{
    return Cdio(cdio_open(cue.c_str(), DRIVER_BINCUE));
}

std::vector<std::uint8_t> WavFile(const std::vector<std::uint8_t>& pcm, int channels = 2,
                                  int rate = 44100)
{
    std::vector<std::uint8_t> file;
    file.reserve(44 + pcm.size());
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](std::uint16_t v) {
        file.push_back(static_cast<std::uint8_t>(v));
        file.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<std::uint8_t>(t[i]));
    };
    tag("RIFF");
    put32(static_cast<std::uint32_t>(36 + pcm.size()));
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate * channels * 2));
    put16(static_cast<std::uint16_t>(channels * 2));
    put16(16);
    tag("data");
    put32(static_cast<std::uint32_t>(pcm.size()));
    file.insert(file.end(), pcm.begin(), pcm.end());
    return file;
}

TEST(DiscImageTest, LayoutTitlesAndTrackKindsReachLibcdio)
{
    DiscFixture disc;
    disc_image::DiscSpec spec;
    spec.title = "Test Disc";
    spec.performer = "Nobody";
    spec.tracks = {AudioTrack(SignalKind::Tone, 300), AudioTrack(SignalKind::Music, 400, 75, 2),
                   DataTrack(300, 150)};
    spec.tracks[0].title = "First Light";
    spec.tracks[1].title = "Second Wind";
    MakeDisc(disc, spec);

    ASSERT_EQ(disc.bin.size(), static_cast<std::size_t>(300 + 75 + 400 + 150 + 300) * 2352);
    Cdio cdio = Open(disc.cue);
    ASSERT_TRUE(cdio);
    ASSERT_EQ(cdio_get_num_tracks(cdio.get()), 3);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), 1), 0);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), 2), 375);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), 3), 925);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), CDIO_CDROM_LEADOUT_TRACK), 1225);
    EXPECT_EQ(cdio_get_track_format(cdio.get(), 1), TRACK_FORMAT_AUDIO);
    EXPECT_EQ(cdio_get_track_format(cdio.get(), 3), TRACK_FORMAT_DATA);

    cdtext_t* text = cdio_get_cdtext(cdio.get());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 0), "Test Disc");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_PERFORMER, 0), "Nobody");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 1), "First Light");
    EXPECT_STREQ(cdtext_get_const(text, CDTEXT_FIELD_TITLE, 2), "Second Wind");
}

TEST(DiscImageTest, DataSectorsCarryAddressAndAValidEdc)
{
    DiscFixture disc;
    disc_image::DiscSpec spec;
    spec.tracks = {DataTrack(300), AudioTrack(SignalKind::Noise, 300, 150)};
    MakeDisc(disc, spec);
    Cdio cdio = Open(disc.cue);
    ASSERT_TRUE(cdio);
    std::vector<std::uint8_t> user(2048);
    ASSERT_EQ(cdio_read_data_sectors(cdio.get(), user.data(), 16, 2048, 1), DRIVER_OP_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<const char*>(user.data()), "Sonfeld test data, sector 16.");

    const std::uint8_t* sector = disc.bin.data() + 16 * 2352;
    const std::uint8_t sync[12] = {0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(sector, sync, 12), 0);
    EXPECT_EQ(sector[12], 0x00); // 00:02:16 in BCD: sector 16 + 150
    EXPECT_EQ(sector[13], 0x02);
    EXPECT_EQ(sector[14], 0x16);
    EXPECT_EQ(sector[15], 1);
    // A CRC over data followed by its own CRC leaves no remainder.
    EXPECT_EQ(disc_image::ComputeEdc(sector, 2068), 0u);
    EXPECT_NE(disc_image::ComputeEdc(sector, 2064), 0u);
}

TEST(DiscImageTest, WavAudioIsCopiedExactlyAndPaddedToWholeSectors)
{
    DiscFixture disc;
    const std::vector<std::uint8_t> pcm = MakePcm(Signal::Music, 44100 * 5 + 100);
    WriteFileBytes(disc.dir / "in.wav", WavFile(pcm));
    disc_image::DiscSpec spec;
    disc_image::TrackSpec track;
    track.wavFile = disc.dir / "in.wav";
    spec.tracks = {track, AudioTrack(SignalKind::Sweep, 300)};
    MakeDisc(disc, spec);

    const std::int64_t sectors = (static_cast<std::int64_t>(pcm.size()) + 2351) / 2352;
    ASSERT_EQ(disc.layout.tracks[0].sectors, sectors);
    const std::vector<std::uint8_t> first = disc.TrackBytes(1);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(sectors) * 2352);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), first.begin()));
    EXPECT_TRUE(std::all_of(first.begin() + static_cast<std::ptrdiff_t>(pcm.size()), first.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST(DiscImageTest, ImpossibleDiscsAreRefusedWithAReason)
{
    auto refuses = [](const disc_image::DiscSpec& spec, const std::string& words) {
        try {
            disc_image::PlanDisc(spec);
            ADD_FAILURE() << "accepted a disc that should fail with: " << words;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    disc_image::DiscSpec spec;
    refuses(spec, "at least one track");
    spec.tracks.assign(100, AudioTrack(SignalKind::Silence, 300));
    refuses(spec, "at most 99");
    spec.tracks.assign(99, AudioTrack(SignalKind::Silence, 300));
    EXPECT_EQ(disc_image::PlanDisc(spec).tracks.size(), 99u);
    spec.tracks = {AudioTrack(SignalKind::Silence, 299)};
    refuses(spec, "shorter than 4 seconds");
    spec.tracks = {AudioTrack(SignalKind::Tone, 300), DataTrack(300),
                   AudioTrack(SignalKind::Tone, 300)};
    refuses(spec, "first or the last");
    spec.tracks = {AudioTrack(SignalKind::Tone, 300)};
    spec.tracks[0].title = "a \"quoted\" title";
    refuses(spec, "quotes");
    spec.tracks = {AudioTrack(SignalKind::Tone, 100 * 60 * 75)};
    refuses(spec, "99 minutes");
    disc_image::TrackSpec wav;
    wav.wavFile = "/nonexistent/file.wav";
    spec.tracks = {wav};
    refuses(spec, "Cannot open the WAV file");
}

TEST(DiscImageTest, WavFilesACdCannotHoldAreRefused)
{
    TempDir dir;
    disc_image::DiscSpec spec;
    disc_image::TrackSpec track;
    track.wavFile = dir / "mono.wav";
    spec.tracks = {track};
    WriteFileBytes(dir / "mono.wav", WavFile(std::vector<std::uint8_t>(4 * 44100 * 2), 1));
    EXPECT_THROW(disc_image::PlanDisc(spec), std::runtime_error);
    std::vector<std::uint8_t> truncated = WavFile(std::vector<std::uint8_t>(4 * 176400));
    truncated.resize(truncated.size() / 2);
    WriteFileBytes(dir / "mono.wav", truncated);
    EXPECT_THROW(disc_image::PlanDisc(spec), std::runtime_error);
}

TEST(DiscImageTest, CommandLineWritesTheImageItDescribes)
{
    TempDir dir;
    const std::string tool = InProgramFolder("sonfeld-disc-image");
    const std::string command = ShellQuote(tool) + " " + ShellQuote((dir / "cli.cue").string()) +
                                " --disc-title 'CLI Disc' --audio sweep 4:02:40 --title 'Long One'"
                                " --audio tone:880 5 --pregap 0:01:00 --data 6";
    std::string output;
    ASSERT_EQ(RunCommand(command, &output), 0) << output;
    Cdio cdio = Open(dir / "cli.cue");
    ASSERT_TRUE(cdio);
    ASSERT_EQ(cdio_get_num_tracks(cdio.get()), 3);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), 2), 18190 + 75);
    EXPECT_EQ(cdio_get_track_lsn(cdio.get(), 3), 18190 + 75 + 375);
    EXPECT_EQ(cdio_get_track_format(cdio.get(), 3), TRACK_FORMAT_DATA);

    EXPECT_NE(RunCommand(ShellQuote(tool) + " " + ShellQuote((dir / "bad.cue").string()) +
                         " --audio tone 3 2>/dev/null"),
              0);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.cue"));
}

} // namespace
} // namespace sonfeld::test
