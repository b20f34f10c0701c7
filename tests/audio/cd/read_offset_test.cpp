// Read-offset correction and the reading modes through the real CR_ library:
// a CUE image and a cdrdao TOC image of the same audio (both through our own
// readers), ripped with offsets either way and compared with the slice of the
// image's audio the offset selects, worked out here.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "audio/cd/cd_in.h"
#include "audio/cd/cdrip_binding.h"
#include "audio/core/acs_exception.h"
#include "support/disc_fixture.h"
#include "support/read_input.h"

namespace sonfeld::test {
namespace {

using disc_image::SignalKind;

constexpr std::int64_t kSamplesPerSector = 588;

enum class ImageKind { Cue, Toc };

// Noise everywhere, so a sample taken from the wrong place never matches by chance.
disc_image::DiscSpec ThreeTracks()
{
    disc_image::DiscSpec spec;
    spec.tracks = {AudioTrack(SignalKind::Noise, 310, 0, 11),
                   AudioTrack(SignalKind::Noise, 340, 0, 12),
                   AudioTrack(SignalKind::Noise, 305, 0, 13)};
    return spec;
}

std::string Msf(std::int64_t sectors)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", static_cast<int>(sectors / 4500),
                  static_cast<int>(sectors / 75 % 60), static_cast<int>(sectors % 75));
    return text;
}

// The same tracks as a cdrdao TOC image over a raw copy of the CUE image's
// BIN file, big-endian as cdrdao's raw files are.
std::filesystem::path WriteToc(const DiscFixture& disc)
{
    std::vector<std::uint8_t> raw = disc.bin;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
        std::swap(raw[i], raw[i + 1]);
    WriteFileBytes(disc.dir / "disc.cdr", raw);
    auto toc = disc.dir / "disc.toc";
    std::ofstream out(toc);
    out << "CD_DA\n";
    for (const auto& track : disc.layout.tracks) {
        const std::int64_t end =
            track.number < static_cast<int>(disc.layout.tracks.size())
                ? disc.layout.tracks[static_cast<std::size_t>(track.number)].start
                : disc.layout.leadOut;
        out << "\nTRACK AUDIO\nFILE \"disc.cdr\" " << Msf(track.start) << ' '
            << Msf(end - track.start) << '\n';
    }
    return toc;
}

// What a drive with this offset must deliver for the track: the image's
// samples from start * 588 + offset on, zero where the disc has none.
std::vector<std::uint8_t> ExpectedTrack(const DiscFixture& disc, int track, int offset)
{
    const auto index = static_cast<std::size_t>(track - 1);
    const std::int64_t start = disc.layout.tracks.at(index).start;
    const std::int64_t end = index + 1 < disc.layout.tracks.size()
                                 ? disc.layout.tracks[index + 1].start
                                 : disc.layout.leadOut;
    const std::int64_t discSamples = disc.layout.leadOut * kSamplesPerSector;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>((end - start) * kSamplesPerSector * 4));
    for (std::int64_t s = start * kSamplesPerSector + offset; s < end * kSamplesPerSector + offset;
         ++s) {
        for (int b = 0; b < 4; ++b)
            bytes.push_back(s >= 0 && s < discSamples
                                ? disc.bin[static_cast<std::size_t>(s * 4 + b)]
                                : std::uint8_t{0});
    }
    return bytes;
}

std::vector<std::uint8_t> RipTrack(TCDIn& input, int track)
{
    input.SetStartTrack(track);
    input.SetEndTrack(track);
    return ReadWholeInput(input, 10000);
}

// Where two rips first differ, for a readable failure message.
std::string FirstDifference(const std::vector<std::uint8_t>& got,
                            const std::vector<std::uint8_t>& expected)
{
    if (got.size() != expected.size())
        return "sizes " + std::to_string(got.size()) + " and " + std::to_string(expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != expected[i])
            return "first difference at sample " + std::to_string(i / 4);
    }
    return "equal";
}

class ReadOffsetTest : public ::testing::TestWithParam<std::tuple<ImageKind, int>> {
protected:
    static void SetUpTestSuite()
    {
        disc = new DiscFixture;
        MakeDisc(*disc, ThreeTracks());
        toc = new std::filesystem::path(WriteToc(*disc));
    }
    static void TearDownTestSuite()
    {
        delete toc;
        toc = nullptr;
        delete disc;
        disc = nullptr;
    }

    void SetUp() override
    {
        const bool cue = std::get<0>(GetParam()) == ImageKind::Cue;
        input.SetCurrentDrive(LoadRealLibraryWithImages({cue ? disc->cue : *toc}));
        ASSERT_EQ(input.TrackCount(), 3);
    }

    static DiscFixture* disc;
    static std::filesystem::path* toc;
    TCDIn input;
};

DiscFixture* ReadOffsetTest::disc = nullptr;
std::filesystem::path* ReadOffsetTest::toc = nullptr;

TEST_P(ReadOffsetTest, EveryTrackIsTheImageSliceTheOffsetSelects)
{
    const int offset = std::get<1>(GetParam());
    input.SetReadOffset(offset);
    for (int track = 1; track <= 3; ++track) {
        const std::vector<std::uint8_t> got = RipTrack(input, track);
        const std::vector<std::uint8_t> expected = ExpectedTrack(*disc, track, offset);
        EXPECT_TRUE(got == expected)
            << "track " << track << " offset " << offset << ": " << FirstDifference(got, expected);
        const TCDRipReport report = input.RipReport();
        EXPECT_EQ(report.ReadOffset, offset);
        EXPECT_EQ(report.Mode, rmSecure);
        EXPECT_EQ(report.Uncorrected, 0);
        EXPECT_EQ(report.ReadErrors, 0);
    }
}

TEST_P(ReadOffsetTest, FastAndSecureRunsOfOneTrackGiveTheSameAudio)
{
    const int offset = std::get<1>(GetParam());
    input.SetReadOffset(offset);
    const std::vector<std::uint8_t> expected = ExpectedTrack(*disc, 2, offset);
    input.SetReadMode(rmFast);
    EXPECT_TRUE(RipTrack(input, 2) == expected);
    EXPECT_EQ(input.RipReport().Mode, rmFast);
    // One read of a drive proves nothing, but an image is read from its files.
    EXPECT_TRUE(input.RipReport().Proven);
    // The re-read is a run of its own: its report starts from nothing.
    for (const TCDReadMode mode : {rmSecure, rmOldDrive}) {
        input.SetReadMode(mode);
        EXPECT_TRUE(RipTrack(input, 2) == expected) << "mode " << mode;
        const TCDRipReport report = input.RipReport();
        EXPECT_EQ(report.Mode, mode);
        EXPECT_EQ(report.ReadOffset, offset);
        EXPECT_TRUE(report.Problems.empty());
        EXPECT_TRUE(report.Proven);
    }
}

// Offsets of one sample and of several sectors, both ways; 587 and 588
// around the sector size; ±2940 the largest accepted.
INSTANTIATE_TEST_SUITE_P(Images, ReadOffsetTest,
                         ::testing::Combine(::testing::Values(ImageKind::Cue, ImageKind::Toc),
                                            ::testing::Values(0, 1, -1, 6, -6, 587, -588, 667, -667,
                                                              1763, -1165, 2940, -2940)),
                         [](const auto& param) {
                             const int offset = std::get<1>(param.param);
                             return std::string(std::get<0>(param.param) == ImageKind::Cue
                                                    ? "Cue"
                                                    : "Toc") +
                                    (offset < 0 ? "Minus" : "Plus") +
                                    std::to_string(offset < 0 ? -offset : offset);
                         });

TEST(ReadOffsetLimitsTest, OffsetsBeyondFiveSectorsAndUnknownModesAreRefused)
{
    DiscFixture disc;
    MakeDisc(disc, ThreeTracks());
    TCDIn input;
    input.SetCurrentDrive(LoadRealLibraryWithImages({disc.cue}));
    for (int offset : {2941, -2941, 100000}) {
        try {
            input.SetReadOffset(offset);
            ADD_FAILURE() << offset << " was accepted";
        } catch (const EACSException& e) {
            EXPECT_STREQ(e.what(), "The read offset is out of range.");
        }
    }
    EXPECT_EQ(input.ReadOffset(), 0);

    // The library checks on its own, for callers other than the CD input.
    const auto& api = cdrip::Api();
    ASSERT_NE(api.OpenRipperWithOptions, nullptr);
    std::int32_t chunk = 2352 * 10;
    const CR_RipOptions tooFar{2941, CR_READ_SECURE, 0, 0};
    EXPECT_EQ(api.OpenRipperWithOptions(&chunk, 0, 300, &tooFar), CR_ERROR);
    EXPECT_NE(cdrip::LastError().find("2941"), std::string::npos);
    const CR_RipOptions unknownMode{0, 7, 0, 0};
    EXPECT_EQ(api.OpenRipperWithOptions(&chunk, 0, 300, &unknownMode), CR_ERROR);
    const CR_RipOptions negativeRereads{0, CR_READ_SECURE, -1, 0};
    EXPECT_EQ(api.OpenRipperWithOptions(&chunk, 0, 300, &negativeRereads), CR_ERROR);
    // Without options a rip is today's: secure at offset 0.
    ASSERT_EQ(api.OpenRipperWithOptions(&chunk, 0, 300, nullptr), CR_OK);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunk));
    std::int32_t count = 0;
    std::int32_t abort = 0;
    ASSERT_EQ(api.RipChunk(buffer.data(), &count, &abort), CR_OK);
    EXPECT_EQ(count, chunk);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), disc.bin.begin()));
    CR_RipReport report{};
    ASSERT_EQ(api.GetRipReport(&report, nullptr, 0), CR_OK);
    EXPECT_EQ(report.ReadMode, CR_READ_SECURE);
    EXPECT_EQ(report.ReadOffset, 0);
    api.CloseRipper();
}

} // namespace
} // namespace sonfeld::test
