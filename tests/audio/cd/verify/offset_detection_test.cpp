#include "audio/cd/verify/offset_detection.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "reference_checksums.h"

namespace sonfeld::verify {
namespace {

constexpr long long kMargin = 2940;

// A disc of three tracks (20, 460 and 20 sectors) and what a drive with a
// given read offset returns for it: the sample of disc position p comes back
// at p + offset, and nothing can be read before the disc or past its end.
class ShiftedDisc {
public:
    ShiftedDisc() : samples_(test::GeneratedPcm(kStarts[3], 77)) {}

    // The track's true samples, as a corrected rip would hold them.
    std::vector<std::uint8_t> Track(int track) const
    {
        return Read(kStarts[track - 1], kStarts[track] - kStarts[track - 1], 0);
    }

    // The track plus the margins, as a drive with driveOffset reads it uncorrected.
    std::vector<std::uint8_t> ReadWithMargins(int track, int driveOffset) const
    {
        return Read(kStarts[track - 1] - kMargin, kStarts[track] - kStarts[track - 1] + 2 * kMargin,
                    driveOffset);
    }

    static OffsetSearchAudio Audio(const std::vector<std::uint8_t>& pcm, int track)
    {
        return {pcm.data(), pcm.size(), kMargin, kStarts[track] - kStarts[track - 1],
                TrackPlace{track == 1, track == 3}};
    }

private:
    static constexpr long long kStarts[4] = {0, 20 * 588, 480 * 588, 500 * 588};

    std::vector<std::uint8_t> Read(long long start, long long count, int driveOffset) const
    {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(count) * 4, 0);
        for (long long p = 0; p < count; ++p) {
            const long long source = start + p - driveOffset;
            if (source >= 0 && source < kStarts[3])
                std::copy_n(samples_.begin() + source * 4, 4, out.begin() + p * 4);
        }
        return out;
    }

    std::vector<std::uint8_t> samples_;
};

AccurateRipPressing PressingWith(int track, AccurateRipTrackEntry entry)
{
    AccurateRipPressing pressing;
    pressing.tracks.resize(3, AccurateRipTrackEntry{3, 0xdeadbeef, 0x12345678});
    pressing.tracks[static_cast<std::size_t>(track - 1)] = entry;
    return pressing;
}

TEST(OffsetDetectionTest, FindsTheDriveOffsetFromTheTrackChecksum)
{
    const ShiftedDisc disc;
    const auto truth = test::Reference(disc.Track(2), false, false);
    for (int driveOffset : {667, -1234, 6, 2940, -2940}) {
        const auto read = disc.ReadWithMargins(2, driveOffset);
        const auto found =
            FindReadOffsets(ShiftedDisc::Audio(read, 2), {PressingWith(2, {5, truth.v1, 0})}, 2);
        ASSERT_FALSE(found.empty()) << "offset " << driveOffset;
        EXPECT_EQ(found[0].offset, driveOffset);
        EXPECT_EQ(found[0].evidence, OffsetEvidence::TrackChecksum);
        EXPECT_EQ(found[0].version, AccurateRipVersion::V1);
        EXPECT_EQ(found[0].confidence, 5);
        EXPECT_EQ(found[0].v2, truth.v2);
    }
}

TEST(OffsetDetectionTest, AV2OnlyEntryIsFoundThroughTheOffsetSector)
{
    const ShiftedDisc disc;
    const auto truth = test::Reference(disc.Track(2), false, false);
    ASSERT_TRUE(truth.hasSector450);
    const auto read = disc.ReadWithMargins(2, -731);
    auto found = FindReadOffsets(ShiftedDisc::Audio(read, 2),
                                 {PressingWith(2, {8, truth.v2, truth.sector450})}, 2);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].offset, -731);
    EXPECT_EQ(found[0].evidence, OffsetEvidence::TrackChecksum);
    EXPECT_EQ(found[0].version, AccurateRipVersion::V2);

    // Only the sector sum agrees (another pressing's track sum): a hint, not proof.
    found = FindReadOffsets(ShiftedDisc::Audio(read, 2),
                            {PressingWith(2, {4, 0x0badf00d, truth.sector450})}, 2);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offset, -731);
    EXPECT_EQ(found[0].evidence, OffsetEvidence::OffsetSector);
    EXPECT_EQ(found[0].version, AccurateRipVersion::None);
    EXPECT_EQ(found[0].confidence, 4);
}

TEST(OffsetDetectionTest, EdgeTracksReadIntoTheUnreadableDiscEdges)
{
    const ShiftedDisc disc;
    const auto first = test::Reference(disc.Track(1), true, false);
    const auto last = test::Reference(disc.Track(3), false, true);
    auto read = disc.ReadWithMargins(1, -588);
    auto found =
        FindReadOffsets(ShiftedDisc::Audio(read, 1), {PressingWith(1, {2, first.v1, 0})}, 1);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].offset, -588);
    read = disc.ReadWithMargins(3, 1776);
    found = FindReadOffsets(ShiftedDisc::Audio(read, 3), {PressingWith(3, {2, last.v2, 0})}, 3);
    // No sector 450 in a short track and v2 does not slide: only v1 can find it.
    EXPECT_TRUE(found.empty());
    found = FindReadOffsets(ShiftedDisc::Audio(read, 3), {PressingWith(3, {2, last.v1, 0})}, 3);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].offset, 1776);
}

TEST(OffsetDetectionTest, NothingMatchingAndShortAudio)
{
    const ShiftedDisc disc;
    const auto read = disc.ReadWithMargins(2, 100);
    EXPECT_TRUE(
        FindReadOffsets(ShiftedDisc::Audio(read, 2), {PressingWith(2, {5, 1, 2})}, 2).empty());
    EXPECT_TRUE(FindReadOffsets(ShiftedDisc::Audio(read, 2), {}, 2).empty());
    OffsetSearchAudio cut = ShiftedDisc::Audio(read, 2);
    cut.bytes -= 4;
    EXPECT_THROW(FindReadOffsets(cut, {PressingWith(2, {5, 1, 2})}, 2), std::invalid_argument);
}

} // namespace
} // namespace sonfeld::verify
