#include "audio/cd/verify/track_checksums.h"

#include "audio/core/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_checksums.h"

namespace sonfeld::verify {
namespace {

using test::GeneratedPcm;
using test::Reference;
using test::ReferenceCrc32;

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
    EXPECT_EQ(Crc32(disc.data(), disc.size()), 0x611f43d0u);
}

// Every split of the stream into two pieces near a place where the block code
// changes course: inside a sample, at each lane of a vector step, at the
// internal block size, at the AccurateRip windows' edges and around sector 450.
TEST(TrackChecksumsTest, BlockBoundariesAtEveryPositionClassChangeNothing)
{
    const long long n = 451 * 588 + 37;
    const auto pcm = GeneratedPcm(n, 21);
    std::vector<long long> splits;
    for (long long s = 0; s < 64; ++s)
        splits.push_back(s);
    const long long offsetStart = 450LL * 588;
    // The CTDB's window: the disc's first 10 sectors and last 13 left out.
    const long long ctdbTo = n - 13 * 588;
    for (long long edge :
         {2940LL, 4096LL, 8192LL, offsetStart, offsetStart + 588, n - 2940, 5880LL, ctdbTo})
        for (long long d = -8; d <= 8; ++d)
            splits.push_back(edge * 4 + d);
    for (const TrackPlace place :
         {TrackPlace{true, true, 5880, ctdbTo}, TrackPlace{false, false, 0, -1}}) {
        const auto expected = Reference(pcm, place.firstAudioTrack, place.lastAudioTrack);
        const long long to = place.ctdbTo < 0 ? n : place.ctdbTo;
        const std::uint32_t ctdb = ReferenceCrc32(
            std::vector<std::uint8_t>(pcm.begin() + place.ctdbFrom * 4, pcm.begin() + to * 4));
        for (long long split : splits) {
            TrackChecksumAccumulator accumulator(n, place);
            accumulator.Add(pcm.data(), static_cast<std::size_t>(split));
            accumulator.Add(pcm.data() + split, pcm.size() - static_cast<std::size_t>(split));
            const TrackChecksums got = accumulator.Result();
            ASSERT_EQ(got.crc32, expected.crc32) << "split at byte " << split;
            ASSERT_EQ(got.crc32WithoutNulls, expected.crc32WithoutNulls) << split;
            ASSERT_EQ(got.accurateRipV1, expected.v1) << split;
            ASSERT_EQ(got.accurateRipV2, expected.v2) << split;
            ASSERT_EQ(got.offsetSectorSum.value_or(0), expected.sector450) << split;
            ASSERT_EQ(got.peak, expected.peak) << split;
            ASSERT_EQ(got.ctdbCrc, ctdb) << split;
        }
    }
}

// AccurateRip leaves out the first five sectors but one sample of a disc's
// first track and the last five sectors of its last, and nothing in between.
TEST(TrackChecksumsTest, AccurateRipSkipsFiveSectorsAtTheDiscsEdgesOnly)
{
    const long long n = 20 * 588;
    const auto base = GeneratedPcm(n, 5);
    const auto sumsWithSampleChanged = [&](long long sample, TrackPlace place) {
        auto pcm = base;
        if (sample > 0)
            pcm[4 * (sample - 1)] ^= 0x5A;
        TrackChecksumAccumulator accumulator(n, place);
        accumulator.Add(pcm.data(), pcm.size());
        return accumulator.Result();
    };
    for (const TrackPlace place :
         {TrackPlace{true, false}, TrackPlace{false, true}, TrackPlace{false, false}}) {
        const auto unchanged = sumsWithSampleChanged(0, place);
        // 1-based samples on both sides of each edge window.
        for (long long sample : {1LL, 2939LL, 2940LL, n - 2940, n - 2939, n}) {
            const bool skipped = (place.firstAudioTrack && sample < 2940) ||
                                 (place.lastAudioTrack && sample > n - 2940);
            const auto changed = sumsWithSampleChanged(sample, place);
            EXPECT_EQ(changed.accurateRipV1 == unchanged.accurateRipV1, skipped) << sample;
            EXPECT_EQ(changed.accurateRipV2 == unchanged.accurateRipV2, skipped) << sample;
            EXPECT_NE(changed.crc32, unchanged.crc32) << sample;
        }
    }
}

// The CRC's table, narrow and wide folding paths (under 64, from 64 and from
// 256 bytes) and the combining of two CRCs, against the bit-by-bit
// definition at every length and alignment up to a few folding steps.
TEST(Crc32Test, AgreesWithTheBitwiseDefinitionAndCombines)
{
    const std::string digits = "123456789";
    EXPECT_EQ(Crc32(digits.data(), digits.size()), 0xCBF43926u);
    std::vector<std::uint8_t> data(70000);
    std::mt19937 random(99);
    for (auto& byte : data)
        byte = static_cast<std::uint8_t>(random());
    for (std::size_t at = 0; at < 16; ++at)
        for (std::size_t size = 0; size < 300; ++size) {
            const std::vector<std::uint8_t> piece(data.begin() + at, data.begin() + at + size);
            ASSERT_EQ(Crc32(piece.data(), piece.size()), ReferenceCrc32(piece))
                << "at " << at << " size " << size;
        }
    const std::uint32_t whole = ReferenceCrc32(data);
    EXPECT_EQ(Crc32(data.data(), data.size()), whole);
    std::uniform_int_distribution<std::size_t> cut(0, data.size());
    for (int round = 0; round < 50; ++round) {
        const std::size_t split = round < 2 ? round * data.size() : cut(random);
        const std::uint32_t head = Crc32(data.data(), split);
        const std::uint32_t tail = Crc32(data.data() + split, data.size() - split);
        ASSERT_EQ(Crc32(head, data.data() + split, data.size() - split), whole) << split;
        ASSERT_EQ(Crc32Combine(head, tail, data.size() - split), whole) << split;
    }
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
