#include "audio/cd/verify/crc32.h"
#include "audio/cd/verify/track_checksums.h"

#include <gtest/gtest.h>

#include <random>

#include "reference_checksums.h"

namespace sonfeld::verify {
namespace {

using test::GeneratedPcm;
using test::Reference;

// Feeds pcm in pieces of random sizes (many of them ending inside a sample).
TrackChecksums Stream(const std::vector<std::uint8_t>& pcm, long long trackSamples,
                      TrackPlace place, unsigned seed)
{
    TrackChecksumAccumulator accumulator(trackSamples, place);
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> piece(0, 9000);
    std::size_t at = 0;
    while (at < pcm.size()) {
        const std::size_t n = std::min(piece(random), pcm.size() - at);
        accumulator.Add(pcm.data() + at, n);
        at += n;
    }
    return accumulator.Result();
}

void ExpectSameAsReference(const std::vector<std::uint8_t>& pcm, TrackPlace place)
{
    const auto expected = Reference(pcm, place.firstAudioTrack, place.lastAudioTrack);
    const TrackChecksums got = Stream(pcm, static_cast<long long>(pcm.size() / 4), place,
                                      static_cast<unsigned>(pcm.size()));
    EXPECT_EQ(got.crc32, expected.crc32);
    EXPECT_EQ(got.crc32WithoutNulls, expected.crc32WithoutNulls);
    EXPECT_EQ(got.accurateRipV1, expected.v1);
    EXPECT_EQ(got.accurateRipV2, expected.v2);
    EXPECT_EQ(got.offsetSectorSum.has_value(), expected.hasSector450);
    if (expected.hasSector450 && got.offsetSectorSum) {
        EXPECT_EQ(*got.offsetSectorSum, expected.sector450);
    }
    EXPECT_EQ(got.peak, expected.peak);
    EXPECT_TRUE(got.complete);
}

TEST(TrackChecksumsTest, AgreeWithTheFormulasForEveryPlaceOnTheDisc)
{
    const auto pcm = GeneratedPcm(460 * 588 + 123, 7);
    ExpectSameAsReference(pcm, {false, false});
    ExpectSameAsReference(pcm, {true, false});
    ExpectSameAsReference(pcm, {false, true});
    ExpectSameAsReference(pcm, {true, true}); // a one-track disc skips both edges
    // Shorter than both edge windows together: nothing is left to sum.
    const auto tiny = GeneratedPcm(4000, 9);
    ExpectSameAsReference(tiny, {true, true});
    EXPECT_EQ(Stream(tiny, 4000, {true, true}, 3).accurateRipV1, 0u);
}

// The synthetic disc of the reference note (3 tracks of 10, 460, 12 sectors),
// whose sums were checked against an independent implementation there.
TEST(TrackChecksumsTest, MatchThePublishedValuesOfTheSyntheticDisc)
{
    const long long lengths[] = {5880, 270480, 7056};
    const std::uint32_t v1[] = {0x04bc6b08, 0xa99f7460, 0xc2e71d72};
    const std::uint32_t v2[] = {0x050b9a37, 0x11bcbc9f, 0xc31ac22e};
    const std::uint32_t crc[] = {0x7d07d265, 0xb1f35301, 0xe0cee6d8};
    const std::uint32_t crcNoNulls[] = {0x94cd2e2c, 0x4315a4d0, 0xe9011a78};
    std::uint32_t g = 0;
    std::vector<std::uint8_t> disc;
    for (int track = 0; track < 3; ++track) {
        std::vector<std::uint8_t> pcm;
        for (long long i = 0; i < lengths[track]; ++i, ++g) {
            const std::uint32_t w = g % 5 == 0 ? 0 : 1103515245u * g + 12345u;
            for (int b = 0; b < 4; ++b)
                pcm.push_back(static_cast<std::uint8_t>(w >> (8 * b)));
        }
        disc.insert(disc.end(), pcm.begin(), pcm.end());
        const auto sums = Stream(pcm, lengths[track], {track == 0, track == 2}, 11 + track);
        EXPECT_EQ(sums.accurateRipV1, v1[track]) << "track " << track + 1;
        EXPECT_EQ(sums.accurateRipV2, v2[track]) << "track " << track + 1;
        EXPECT_EQ(sums.crc32, crc[track]) << "track " << track + 1;
        EXPECT_EQ(sums.crc32WithoutNulls, crcNoNulls[track]) << "track " << track + 1;
        EXPECT_EQ(sums.offsetSectorSum.has_value(), track == 1);
        if (track == 1 && sums.offsetSectorSum) {
            EXPECT_EQ(*sums.offsetSectorSum, 0x01f88527u);
        }
    }
    Crc32 whole;
    whole.Update(disc.data(), disc.size());
    EXPECT_EQ(whole.Value(), 0x611f43d0u);
}

TEST(TrackChecksumsTest, PeakAndCompletenessReportWhatCame)
{
    // -32768 is full scale; the right channel holds it.
    const std::vector<std::uint8_t> loud = {0x10, 0x00, 0x00, 0x80, 0xff, 0x7f, 0x00, 0x00};
    TrackChecksumAccumulator full(2, {});
    full.Add(loud.data(), loud.size());
    EXPECT_EQ(full.Result().peak, 32768);
    EXPECT_DOUBLE_EQ(full.Result().PeakPercent(), 100.0);
    EXPECT_TRUE(full.Result().complete);

    TrackChecksumAccumulator shortRead(3, {});
    shortRead.Add(loud.data(), loud.size());
    EXPECT_FALSE(shortRead.Result().complete);
    TrackChecksumAccumulator ragged(2, {});
    ragged.Add(loud.data(), loud.size() - 1);
    EXPECT_FALSE(ragged.Result().complete);
    EXPECT_EQ(ragged.Result().samples, 1);
    TrackChecksumAccumulator tooLong(1, {});
    tooLong.Add(loud.data(), loud.size());
    EXPECT_FALSE(tooLong.Result().complete);
}

} // namespace
} // namespace sonfeld::verify
