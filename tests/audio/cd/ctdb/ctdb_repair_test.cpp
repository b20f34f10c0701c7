#include <gtest/gtest.h>

#include "audio/cd/ctdb/ctdb_repair.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "audio/core/crc32.h"
#include "test_audio.h"

namespace sonfeld::ctdb {
namespace {

using test::DotNetRandom;
using test::TestImage;

constexpr std::int64_t kFirstSample = 32 * 588;
constexpr int kSectors = 9801;
constexpr std::int64_t kSamples = kSectors * 588;
constexpr std::uint32_t kDiscCrc = 0x1680cc34;

// The reference disc's entry and recovery data (npar 16, all columns), made
// from the undamaged image.
struct Reference {
    CtdbToc toc = *ParseCtdbToc("0:9801");
    CtdbEntry entry;
    std::vector<std::uint8_t> recovery;

    Reference()
    {
        const std::vector<std::uint8_t> image = TestImage(2423, kFirstSample, kSamples);
        CtdbStreamAnalysis analysis(CtdbLayout::FromToc(toc));
        analysis.Update(image.data(), image.size());
        // Only npar 8 in the lookup, as live entries have.
        entry = EntryOf(analysis, toc, 5, 8);
        recovery = RecoveryDataOf(analysis, 16).record;
    }
};

const Reference& Ref()
{
    static const Reference reference;
    return reference;
}

// 2940 damaged samples at positions and with byte masks from Random(2423).
void Damage(std::vector<std::uint8_t>& rip)
{
    DotNetRandom positions(2423);
    DotNetRandom masks(2423);
    for (int n = 0; n < 2940; ++n) {
        const auto sample = static_cast<std::size_t>(positions.Next(0, static_cast<int>(kSamples)));
        for (int b = 0; b < 4; ++b)
            rip[sample * 4 + static_cast<std::size_t>(b)] ^=
                static_cast<std::uint8_t>(masks.Next(1, 255));
    }
}

std::uint32_t WindowCrc(const std::vector<std::uint8_t>& rip, int offset)
{
    const std::int64_t begin = (5880 + offset) * 4;
    const std::int64_t end = (kSamples - 6468 + offset) * 4;
    return Crc32(rip.data() + begin, static_cast<std::size_t>(end - begin));
}

// Tries npar 4, 8 and 16 in turn, as the recovery data is fetched.
CtdbRepairPlan Ladder(const CtdbStreamAnalysis& analysis, int offset,
                      const std::vector<std::uint8_t>& recovery)
{
    CtdbRepairPlan plan;
    for (const int npar : {4, 8, 16}) {
        plan =
            PlanRepair(analysis, Ref().entry, offset, recovery.data(), RecoveryBytes(npar), npar);
        if (plan.proven)
            break;
    }
    return plan;
}

TEST(CtdbRepair, DamagedRipsAtThreeOffsetsAreRepairedAndProven)
{
    // A rip made 48 samples later holds the reference at o = -48.
    for (const int ripShift : {0, 48, -48}) {
        SCOPED_TRACE(ripShift);
        const std::vector<std::uint8_t> clean = TestImage(2423, kFirstSample + ripShift, kSamples);
        std::vector<std::uint8_t> rip = clean;
        Damage(rip);
        CtdbStreamAnalysis analysis(CtdbLayout::FromToc(Ref().toc));
        analysis.Update(rip.data(), rip.size());
        const CtdbEntryCheck check = CheckEntry(analysis, Ref().toc, Ref().entry);
        ASSERT_EQ(check.status, CtdbEntryStatus::HasErrors);
        ASSERT_EQ(check.offset, -ripShift);
        EXPECT_NE(WindowCrc(rip, check.offset), kDiscCrc);

        const CtdbRepairPlan plan = Ladder(analysis, check.offset, Ref().recovery);
        ASSERT_TRUE(plan.proven) << plan.reason;
        EXPECT_EQ(plan.crcAfter, kDiscCrc);
        // Every word that differs inside the protected window, and only those.
        std::int64_t differing = 0;
        for (std::int64_t w = (5880 + check.offset) * 2; w < (kSamples - 6468 + check.offset) * 2;
             ++w)
            differing +=
                (rip[static_cast<std::size_t>(2 * w)] != clean[static_cast<std::size_t>(2 * w)] ||
                 rip[static_cast<std::size_t>(2 * w + 1)] !=
                     clean[static_cast<std::size_t>(2 * w + 1)]);
        EXPECT_EQ(static_cast<std::int64_t>(plan.corrections.size()), differing);
        EXPECT_GT(differing, 5000);
        EXPECT_FALSE(AffectedSectors(plan).empty());

        // Applied piece by piece (odd sizes, words split between pieces) it is the same.
        std::vector<std::uint8_t> inPieces = rip;
        std::int64_t applied = 0;
        for (std::size_t at = 0, n = 1; at < inPieces.size(); at += n, n = n * 3 % 999983 + 1)
            applied += ApplyRepairToPiece(plan, static_cast<std::int64_t>(at), inPieces.data() + at,
                                          std::min(n, inPieces.size() - at));
        EXPECT_GE(applied, static_cast<std::int64_t>(plan.corrections.size()));
        ASSERT_TRUE(ApplyRepair(plan, rip.data(), rip.size()));
        EXPECT_EQ(inPieces, rip);
        EXPECT_EQ(WindowCrc(rip, check.offset), kDiscCrc);
        // The corrected audio is the clean one inside the window.
        const std::size_t begin = static_cast<std::size_t>(5880 + check.offset) * 4;
        const std::size_t end = static_cast<std::size_t>((kSamples - 6468 + check.offset) * 4);
        EXPECT_TRUE(std::equal(rip.begin() + static_cast<long>(begin),
                               rip.begin() + static_cast<long>(end),
                               clean.begin() + static_cast<long>(begin)));
    }
}

TEST(CtdbRepair, WithoutProofNothingChanges)
{
    const std::vector<std::uint8_t> clean = TestImage(2423, kFirstSample, kSamples);
    // 120 damaged sectors in a row: 12 words in every column but column 0,
    // which stays clean so that the offset is still found.
    std::vector<std::uint8_t> rip = clean;
    for (std::size_t i = 2000 * 588 * 4; i < 2120 * 588 * 4; i += 3)
        if ((i / 2) % kStrideWords != 0)
            rip[i] ^= 0x5A;
    const std::vector<std::uint8_t> before = rip;
    CtdbStreamAnalysis analysis(CtdbLayout::FromToc(Ref().toc));
    analysis.Update(rip.data(), rip.size());
    const CtdbEntryCheck check = CheckEntry(analysis, Ref().toc, Ref().entry);
    ASSERT_EQ(check.status, CtdbEntryStatus::HasErrors);
    EXPECT_EQ(check.offset, 0);
    const CtdbRepairPlan plan = Ladder(analysis, check.offset, Ref().recovery);
    EXPECT_FALSE(plan.proven);
    EXPECT_NE(plan.reason.find("too many differences"), std::string::npos) << plan.reason;
    EXPECT_TRUE(plan.corrections.empty());
    EXPECT_FALSE(ApplyRepair(plan, rip.data(), rip.size()));
    EXPECT_EQ(ApplyRepairToPiece(plan, 0, rip.data(), rip.size()), -1);
    EXPECT_EQ(rip, before);

    // Decodable differences that do not give the entry's CRC are no proof.
    std::vector<std::uint8_t> small = clean;
    small[3000 * 588 * 4 + 10] ^= 1;
    CtdbStreamAnalysis smallAnalysis(CtdbLayout::FromToc(Ref().toc));
    smallAnalysis.Update(small.data(), small.size());
    CtdbEntry wrongCrc = Ref().entry;
    wrongCrc.crc32 ^= 1;
    const CtdbRepairPlan unproven =
        PlanRepair(smallAnalysis, wrongCrc, 0, Ref().recovery.data(), Ref().recovery.size(), 16);
    EXPECT_FALSE(unproven.proven);
    EXPECT_NE(unproven.reason.find("disc CRC"), std::string::npos);
    EXPECT_FALSE(ApplyRepair(unproven, small.data(), small.size()));
    // Recovery data of other audio, or too short, is refused before decoding.
    std::vector<std::uint8_t> otherRecovery = Ref().recovery;
    otherRecovery[0] ^= 1;
    EXPECT_NE(
        PlanRepair(smallAnalysis, Ref().entry, 0, otherRecovery.data(), otherRecovery.size(), 16)
            .reason.find("other audio"),
        std::string::npos);
    EXPECT_FALSE(
        PlanRepair(smallAnalysis, Ref().entry, 0, Ref().recovery.data(), RecoveryBytes(8) - 1, 8)
            .proven);
    const CtdbRepairPlan good =
        PlanRepair(smallAnalysis, Ref().entry, 0, Ref().recovery.data(), RecoveryBytes(4), 4);
    ASSERT_TRUE(good.proven) << good.reason;
    ASSERT_EQ(good.corrections.size(), 1u);
    EXPECT_EQ(good.corrections[0].word, (3000 * 588 * 4 + 10) / 2);
    EXPECT_EQ(good.corrections[0].mask, 1);
}

} // namespace
} // namespace sonfeld::ctdb
