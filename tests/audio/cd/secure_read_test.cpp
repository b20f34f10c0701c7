// The secure reader over a model of a drive: a cache with read-ahead, bit
// errors, sectors that never read right, refused reads, C2 flags and jitter,
// on near-periodic and ordinary audio. Every track comes out byte-exact, or
// every wrong sector is reported; never a silent difference.

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "audio/cd/cdrip/cdrip_api.h"
#include "audio/cd/cdrip/secure_reader.h"
#include "fake_drive_model.h"

using namespace sonfeld;
using cdrip::SectorSource;
using cdrip::SecureReader;
using cdrip::SecureSettings;

namespace {

constexpr int kSectorBytes = 2352;
constexpr int kTrackSectors = 900;

struct TrackRead {
    bool ok = false;
    bool proven = false;
    std::string error;
    std::vector<std::uint8_t> audio;
    cdrip::ProblemLog problems;

    std::set<std::int32_t> Sectors(int kind) const
    {
        std::set<std::int32_t> sectors;
        for (const CR_SectorProblem& problem : problems.Problems())
            if (problem.Kind == kind)
                sectors.insert(problem.Sector);
        return sectors;
    }
};

class SecureReadTest : public ::testing::Test {
protected:
    SecureReadTest() : disc_(test::NearPeriodicDisc(kTrackSectors, starts_)) {}

    std::int32_t DiscEnd() const { return starts_.back(); }

    // Reads one track in the ripper's chunks of 75 sectors, as a rip does.
    TrackRead Read(SectorSource& plain, SectorSource* first, int track, SecureSettings settings)
    {
        TrackRead result;
        const std::int32_t start = starts_[static_cast<std::size_t>(track)];
        const std::int32_t end = starts_[static_cast<std::size_t>(track) + 1];
        SecureReader reader(plain, first, result.problems, end, 0, DiscEnd(), settings);
        result.audio.assign(static_cast<std::size_t>(end - start) * kSectorBytes, 0);
        result.ok = true;
        for (std::int32_t s = start; s < end && result.ok; s += 75)
            result.ok = reader.Read(s, std::min(75, end - s),
                                    result.audio.data() +
                                        static_cast<std::size_t>(s - start) * kSectorBytes);
        result.proven = reader.Proven();
        result.error = reader.Error();
        return result;
    }

    // Sectors of the track whose audio differs from the disc.
    std::set<std::int32_t> Wrong(const TrackRead& read, int track) const
    {
        std::set<std::int32_t> wrong;
        const std::int32_t start = starts_[static_cast<std::size_t>(track)];
        for (std::size_t i = 0; i < read.audio.size() / kSectorBytes; ++i)
            if (std::memcmp(read.audio.data() + i * kSectorBytes,
                            disc_.data() + (start + i) * kSectorBytes, kSectorBytes) != 0)
                wrong.insert(start + static_cast<std::int32_t>(i));
        return wrong;
    }

    static SecureSettings Settings()
    {
        SecureSettings settings;
        settings.cacheSectors = 400; // above the model's cache and read-ahead
        return settings;
    }

    std::vector<std::int32_t> starts_;
    std::vector<std::uint8_t> disc_;
};

// A wrapper that hands out whole periods off for some sectors, as paranoia's
// overlap matching does on near-periodic audio.
class ShiftingParanoia : public SectorSource {
public:
    ShiftingParanoia(const std::vector<std::uint8_t>& disc, std::set<std::int32_t> shifted)
        : disc_(disc), shifted_(std::move(shifted))
    {
    }
    bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) override
    {
        for (int i = 0; i < count; ++i) {
            const std::int32_t sector = first + i;
            // 2350 samples on: whole periods of some tones, a near miss of others.
            const std::size_t shift = shifted_.contains(sector) ? 2 * 1175 * 4 : 0;
            std::memcpy(out + static_cast<std::size_t>(i) * kSectorBytes,
                        disc_.data() + static_cast<std::size_t>(sector) * kSectorBytes + shift,
                        kSectorBytes);
            if (c2 != nullptr)
                c2[i] = 0;
        }
        return true;
    }

private:
    const std::vector<std::uint8_t>& disc_;
    std::set<std::int32_t> shifted_;
};

TEST_F(SecureReadTest, ACleanDriveWithACacheGivesEverySectorTwiceFromTheDisc)
{
    for (int track = 0; track < 4; ++track) {
        test::DriveModelSettings model;
        model.cacheSectors = 300;
        model.readAheadSectors = 32;
        test::FakeDriveModel drive(disc_, model);
        const TrackRead read = Read(drive, nullptr, track, Settings());
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_TRUE(Wrong(read, track).empty()) << "track " << track;
        EXPECT_TRUE(read.proven);
        EXPECT_TRUE(read.problems.Problems().empty());
        for (std::int32_t s = starts_[static_cast<std::size_t>(track)];
             s < starts_[static_cast<std::size_t>(track) + 1]; ++s)
            ASSERT_GE(drive.MediaReads(s), 2) << "sector " << s << " came from the cache";
    }
}

TEST_F(SecureReadTest, DifferingReadsAreReReadUntilTwoAgreeOrReportedSuspicious)
{
    const std::set<std::int32_t> weak{40, 41, 1337, 2500, 3599};
    for (const std::uint32_t seed : {1U, 2U, 3U}) {
        for (const bool c2 : {false, true}) {
            const test::DriveModelSettings model{.seed = seed,
                                                 .cacheSectors = 300,
                                                 .readAheadSectors = 32,
                                                 .bitErrorRate = 0.01,
                                                 .weak = weak,
                                                 .refusals = {{700, 2}, {2000, 1}},
                                                 .unreadable = {},
                                                 .jitterRate = 0.02,
                                                 .c2 = c2};
            test::FakeDriveModel drive(disc_, model);
            int corrected = 0;
            for (int track = 0; track < 4; ++track) {
                SCOPED_TRACE(testing::Message()
                             << "seed " << seed << " c2 " << c2 << " track " << track);
                const TrackRead read = Read(drive, nullptr, track, Settings());
                ASSERT_TRUE(read.ok) << read.error;
                const std::set<std::int32_t> suspicious = read.Sectors(CR_PROBLEM_SUSPICIOUS);
                std::set<std::int32_t> weakHere;
                for (const std::int32_t s : weak)
                    if (s >= starts_[static_cast<std::size_t>(track)] &&
                        s < starts_[static_cast<std::size_t>(track) + 1])
                        weakHere.insert(s);
                // Exactly the sectors that never read right are reported, and
                // they are the only ones that differ.
                EXPECT_EQ(suspicious, weakHere);
                EXPECT_EQ(Wrong(read, track), weakHere);
                EXPECT_EQ(read.proven, weakHere.empty());
                EXPECT_EQ(read.problems.Suspicious(), static_cast<int>(weakHere.size()));
                corrected += read.problems.Statistics().Corrected;
            }
            EXPECT_GT(corrected, 10);
        }
    }
}

TEST_F(SecureReadTest, ASectorIsReReadUpToTheLimitBeforeItIsReported)
{
    for (const int limit : {0, 5}) {
        test::DriveModelSettings model;
        model.weak = {123};
        test::FakeDriveModel drive(disc_, model);
        SecureSettings settings = Settings();
        if (limit > 0)
            settings.maxRereads = limit;
        const TrackRead read = Read(drive, nullptr, 0, settings);
        ASSERT_TRUE(read.ok);
        // Two passes, then the re-reads: 16 unless set.
        EXPECT_EQ(drive.MediaReads(123), 2 + (limit > 0 ? limit : 16));
        EXPECT_EQ(read.Sectors(CR_PROBLEM_SUSPICIOUS), std::set<std::int32_t>{123});
    }
}

TEST_F(SecureReadTest, OldDriveModeNeverKeepsParanoiasDifferenceSilently)
{
    // Paranoia's stream slips by whole periods after 1200 sectors, where its
    // cache model re-reads; the plain reads jitter and miss now and then.
    const std::set<std::int32_t> slipped{201, 202, 203, 650};
    ShiftingParanoia paranoia(disc_, slipped);
    test::DriveModelSettings model;
    model.cacheSectors = 300;
    model.readAheadSectors = 32;
    model.bitErrorRate = 0.005;
    model.jitterRate = 0.05;
    test::FakeDriveModel drive(disc_, model);
    const TrackRead read = Read(drive, &paranoia, 0, Settings());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(Wrong(read, 0).empty());
    EXPECT_TRUE(read.proven);
    const std::set<std::int32_t> corrected = read.Sectors(CR_PROBLEM_CORRECTED);
    EXPECT_TRUE(std::includes(corrected.begin(), corrected.end(), slipped.begin(), slipped.end()));

    // Where the plain reads never agree either, the sector is reported.
    model.weak = {202};
    test::FakeDriveModel weakDrive(disc_, model);
    const TrackRead unproven = Read(weakDrive, &paranoia, 0, Settings());
    ASSERT_TRUE(unproven.ok);
    EXPECT_FALSE(unproven.proven);
    EXPECT_EQ(unproven.Sectors(CR_PROBLEM_SUSPICIOUS), std::set<std::int32_t>{202});
    EXPECT_EQ(Wrong(unproven, 0), std::set<std::int32_t>{202});
}

TEST_F(SecureReadTest, ASectorThatStaysUnreadableFailsTheTrackByName)
{
    test::DriveModelSettings model;
    model.unreadable = {450};
    test::FakeDriveModel drive(disc_, model);
    const TrackRead read = Read(drive, nullptr, 0, Settings());
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.error, "Sector 450 could not be read after 16 retries.");
    EXPECT_EQ(read.Sectors(CR_PROBLEM_UNCORRECTED), std::set<std::int32_t>{450});
    EXPECT_EQ(read.problems.Statistics().ReadErrors, 17);
}

} // namespace
