#include "audio/cd/verify/accuraterip_database.h"
#include "audio/cd/verify/accuraterip_verdict.h"

#include <gtest/gtest.h>

namespace sonfeld::verify {
namespace {

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int b = 0; b < 4; ++b)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
}

struct Entry {
    int confidence;
    std::uint32_t checksum;
    std::uint32_t sector450;
};

// A record written byte by byte as the file layout describes it.
void PutRecord(std::vector<std::uint8_t>& out, const std::vector<Entry>& tracks,
               std::uint32_t id1 = 0x0000f21c, std::uint32_t id2 = 0x00027ef8,
               std::uint32_t freedb = 0x05021002)
{
    out.push_back(static_cast<std::uint8_t>(tracks.size()));
    PutLe32(out, id1);
    PutLe32(out, id2);
    PutLe32(out, freedb);
    for (const Entry& t : tracks) {
        out.push_back(static_cast<std::uint8_t>(t.confidence));
        PutLe32(out, t.checksum);
        PutLe32(out, t.sector450);
    }
}

TEST(AccurateRipDatabaseTest, ReadsEveryPressing)
{
    std::vector<std::uint8_t> bytes;
    PutRecord(bytes, {{12, 0x05c74f28, 0xa4f8973b}, {20, 0x2ef3c19c, 0xde0055dc}});
    PutRecord(bytes, {{7, 0xabf977dc, 0}, {200, 0xc3d297dd, 0}});
    ASSERT_EQ(bytes.size(), 62u);
    const auto file = ParseAccurateRipDatabase(bytes.data(), bytes.size());
    ASSERT_TRUE(file.Ok()) << file.error;
    ASSERT_EQ(file.pressings.size(), 2u);
    EXPECT_EQ(file.pressings[0].id1, 0x0000f21cu);
    EXPECT_EQ(file.pressings[0].id2, 0x00027ef8u);
    EXPECT_EQ(file.pressings[0].freedbId, 0x05021002u);
    ASSERT_EQ(file.pressings[0].tracks.size(), 2u);
    EXPECT_EQ(file.pressings[0].tracks[1].confidence, 20);
    EXPECT_EQ(file.pressings[0].tracks[1].checksum, 0x2ef3c19cu);
    EXPECT_EQ(file.pressings[0].tracks[1].offsetSectorSum, 0xde0055dcu);
    EXPECT_EQ(file.pressings[1].tracks[1].confidence, 200);
    EXPECT_EQ(file.pressings[1].tracks[0].checksum, 0xabf977dcu);
}

TEST(AccurateRipDatabaseTest, EveryCutAndGarbageIsAClearError)
{
    std::vector<std::uint8_t> bytes;
    PutRecord(bytes, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    PutRecord(bytes, {{1, 1, 1}});
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        if (cut == 40)
            continue; // the end of the first record is a whole file
        // A copy of exactly cut bytes, so reading past it is caught by the sanitizers.
        const std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + cut);
        const auto file = ParseAccurateRipDatabase(part.data(), part.size());
        EXPECT_FALSE(file.Ok()) << "cut at " << cut;
        EXPECT_TRUE(file.pressings.empty());
    }
    EXPECT_EQ(ParseAccurateRipDatabase(bytes.data(), 40).pressings.size(), 1u);
    EXPECT_EQ(ParseAccurateRipDatabase(nullptr, 0).error, "The AccurateRip answer is empty");

    const std::string html = "<html><body>Not here</body></html>";
    const auto page =
        ParseAccurateRipDatabase(reinterpret_cast<const std::uint8_t*>(html.data()), html.size());
    EXPECT_FALSE(page.Ok());
    std::vector<std::uint8_t> noTracks(13, 0);
    EXPECT_NE(
        ParseAccurateRipDatabase(noTracks.data(), noTracks.size()).error.find("without tracks"),
        std::string::npos);
}

TEST(AccurateRipVerdictTest, BestMatchOverAllPressings)
{
    std::vector<std::uint8_t> bytes;
    // Track 1: v1 in pressing 1 (confidence 3), v2 in pressing 2 (confidence 9).
    // Track 2: only sums of other rips. Track 3: no entry with data, and one
    // whose confidence is 0.
    PutRecord(bytes, {{3, 0x1111, 0}, {5, 0x2222, 0}, {0, 0, 0}, {0, 0x5555, 0}});
    PutRecord(bytes, {{9, 0xaaaa, 0}, {4, 0x3333, 0}, {0, 0, 0}, {0, 0, 0}});
    const auto file = ParseAccurateRipDatabase(bytes.data(), bytes.size());
    ASSERT_TRUE(file.Ok());

    auto verdict = VerifyTrack(file.pressings, 1, 0x1111, 0xaaaa);
    EXPECT_EQ(verdict.status, AccurateRipStatus::Match);
    EXPECT_EQ(verdict.confidence, 9);
    EXPECT_EQ(verdict.version, AccurateRipVersion::V2);

    verdict = VerifyTrack(file.pressings, 1, 0x1111, 0x9999);
    EXPECT_EQ(verdict.status, AccurateRipStatus::Match);
    EXPECT_EQ(verdict.confidence, 3);
    EXPECT_EQ(verdict.version, AccurateRipVersion::V1);

    verdict = VerifyTrack(file.pressings, 2, 0x1111, 0xaaaa);
    EXPECT_EQ(verdict.status, AccurateRipStatus::Mismatch);
    EXPECT_EQ(verdict.confidence, 0);

    // A silent track sums to 0; an empty entry must not count as its match.
    EXPECT_EQ(VerifyTrack(file.pressings, 3, 0, 0).status, AccurateRipStatus::NotInDatabase);
    EXPECT_EQ(VerifyTrack(file.pressings, 4, 0x5555, 0x5555).status,
              AccurateRipStatus::NotInDatabase);
    EXPECT_EQ(VerifyTrack(file.pressings, 5, 0x1111, 0xaaaa).status,
              AccurateRipStatus::NotInDatabase);
    EXPECT_EQ(VerifyTrack({}, 1, 0x1111, 0xaaaa).status, AccurateRipStatus::NotInDatabase);
}

} // namespace
} // namespace sonfeld::verify
