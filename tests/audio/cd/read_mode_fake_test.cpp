// Reading modes and rip reports against a fake drive: what fast reading gets
// wrong on a drive that needs verification, what a secure re-read of the same
// track gives, and where the drive's read errors were.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "audio/cd/cd_in.h"
#include "audio/core/acs_exception.h"
#include "fake_library.h"

namespace sonfeld::test {
namespace {

constexpr int kTrackSectors = 400;

class ReadModeFakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fake.Ready());
        const std::int32_t starts[] = {0, kTrackSectors, 2 * kTrackSectors};
        const std::uint8_t flags[] = {0x10, 0x10, 0x10};
        fake.SetToc(starts, flags, 2);
    }

    std::vector<std::uint8_t> RipTrack(int track)
    {
        input.SetStartTrack(track);
        input.SetEndTrack(track);
        input.OpenInput();
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint8_t> buffer(2352 * 75);
        while (const int n = input.ReadPCM(buffer.data(), static_cast<int>(buffer.size())))
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
        input.CloseInput();
        return bytes;
    }

    // The sectors of track whose bytes differ from what the disc holds.
    static std::vector<std::int32_t> WrongSectors(const std::vector<std::uint8_t>& bytes, int track)
    {
        std::vector<std::int32_t> wrong;
        const std::int32_t first = (track - 1) * kTrackSectors;
        for (std::int32_t s = 0; s < kTrackSectors; ++s) {
            for (std::int32_t k = 0; k < 2352; ++k) {
                if (bytes.at(static_cast<std::size_t>(s) * 2352 + k) !=
                    FakeCR_PatternByte(first + s, k)) {
                    wrong.push_back(first + s);
                    break;
                }
            }
        }
        return wrong;
    }

    FakeLibrary fake;
    TCDIn input;
};

TEST_F(ReadModeFakeTest, FastReadingGetsAnUnstableDriveWrongAndASecureReReadRight)
{
    const std::int32_t unstable[] = {410, 411, 777};
    fake.SetUnstableSectors(unstable, 3);

    input.SetReadMode(rmFast);
    const std::vector<std::uint8_t> fast = RipTrack(2);
    ASSERT_EQ(fast.size(), kTrackSectors * 2352u);
    EXPECT_EQ(WrongSectors(fast, 2), (std::vector<std::int32_t>{410, 411, 777}));
    EXPECT_EQ(fake.Counters().lastReadMode, CR_READ_FAST);
    TCDRipReport report = input.RipReport();
    EXPECT_EQ(report.Mode, rmFast);
    // Nothing verified, so nothing to report: only checking the audio finds these.
    EXPECT_EQ(report.Corrected, 0);
    EXPECT_TRUE(report.Problems.empty());

    input.SetReadMode(rmSecure);
    const std::vector<std::uint8_t> secure = RipTrack(2);
    EXPECT_TRUE(WrongSectors(secure, 2).empty());
    EXPECT_EQ(fake.Counters().lastReadMode, CR_READ_SECURE);
    EXPECT_EQ(fake.Counters().openRipperCalls, 2);
    report = input.RipReport();
    EXPECT_EQ(report.Mode, rmSecure);
    EXPECT_EQ(report.Corrected, 3);
    EXPECT_EQ(report.Problems,
              (std::vector<TCDSectorProblem>{{410, TCDSectorProblem::Corrected, 1},
                                             {411, TCDSectorProblem::Corrected, 1},
                                             {777, TCDSectorProblem::Corrected, 1}}));

    // Track 1 holds no unstable sector: fast is right there.
    input.SetReadMode(rmFast);
    EXPECT_TRUE(WrongSectors(RipTrack(1), 1).empty());
}

TEST_F(ReadModeFakeTest, ADriveWithACacheAndErrorsGivesExactAudioOrReportsEverySuspiciousSector)
{
    const std::int32_t weak[] = {123};
    const FakeCR_DriveModel model{3, 300, 32, 0.02, 0.02, 1, weak, 1};
    fake.SetDriveModel(&model);

    // One read a sector: the drive's errors pass unnoticed.
    input.SetReadMode(rmFast);
    EXPECT_GT(WrongSectors(RipTrack(1), 1).size(), 3u);
    EXPECT_FALSE(input.RipReport().Proven);
    EXPECT_TRUE(input.RipReport().Problems.empty());

    for (const TCDReadMode mode : {rmSecure, rmOldDrive}) {
        input.SetReadMode(mode);
        EXPECT_EQ(WrongSectors(RipTrack(1), 1), (std::vector<std::int32_t>{123}));
        TCDRipReport report = input.RipReport();
        EXPECT_EQ(report.Mode, mode);
        EXPECT_FALSE(report.Proven);
        EXPECT_EQ(report.Suspicious, 1);
        EXPECT_GT(report.Corrected, 0);
        EXPECT_EQ(std::count_if(report.Problems.begin(), report.Problems.end(),
                                [](const TCDSectorProblem& p) {
                                    return p.Problem == TCDSectorProblem::Suspicious;
                                }),
                  1);
        EXPECT_NE(std::find(report.Problems.begin(), report.Problems.end(),
                            TCDSectorProblem{123, TCDSectorProblem::Suspicious, 1}),
                  report.Problems.end());

        EXPECT_TRUE(WrongSectors(RipTrack(2), 2).empty());
        report = input.RipReport();
        EXPECT_TRUE(report.Proven);
        EXPECT_EQ(report.Suspicious, 0);
    }
    EXPECT_EQ(fake.Counters().lastReadMode, CR_READ_OLD_DRIVE);
}

TEST_F(ReadModeFakeTest, ReadErrorsAreReportedPerRunWithTheirSectors)
{
    const std::int32_t refused[] = {5, 399, 401};
    fake.SetRefusedSectors(refused, 3);
    EXPECT_TRUE(WrongSectors(RipTrack(1), 1).empty());
    TCDRipReport report = input.RipReport();
    EXPECT_EQ(report.ReadErrors, 2);
    EXPECT_EQ(report.Problems,
              (std::vector<TCDSectorProblem>{{5, TCDSectorProblem::ReadError, 1},
                                             {399, TCDSectorProblem::ReadError, 1}}));

    // The next track's run reports its own sectors only.
    RipTrack(2);
    report = input.RipReport();
    EXPECT_EQ(report.ReadErrors, 1);
    EXPECT_EQ(report.Problems,
              (std::vector<TCDSectorProblem>{{401, TCDSectorProblem::ReadError, 1}}));
}

TEST_F(ReadModeFakeTest, TheOffsetAndModeGoToTheLibraryAndStayDuringARun)
{
    EXPECT_EQ(input.ReadMode(), rmSecure);
    EXPECT_EQ(input.ReadOffset(), 0);
    input.SetReadOffset(-667);
    input.SetStartTrack(1);
    input.SetEndTrack(1);
    input.OpenInput();
    EXPECT_EQ(fake.Counters().lastReadOffset, -667);
    EXPECT_EQ(fake.Counters().lastReadMode, CR_READ_SECURE);
    // The range stays the track's: the library moves the window.
    EXPECT_EQ(fake.Counters().lastStart, 0);
    EXPECT_EQ(fake.Counters().lastEnd, kTrackSectors);
    for (const auto& change : {std::function<void()>([&] { input.SetReadOffset(6); }),
                               std::function<void()>([&] { input.SetReadMode(rmFast); })}) {
        try {
            change();
            ADD_FAILURE() << "changed during a run";
        } catch (const EACSException& e) {
            EXPECT_STREQ(e.what(), "The component is buisy");
        }
    }
    input.CloseInput();
    EXPECT_EQ(input.ReadOffset(), -667);
    EXPECT_EQ(input.RipReport().ReadOffset, -667);
}

} // namespace
} // namespace sonfeld::test
