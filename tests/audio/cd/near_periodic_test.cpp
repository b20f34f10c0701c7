// Near-periodic audio (tones of whole-sample periods, square waves) in a
// cdrdao TOC image, read by the real library like a drive. Paranoia's overlap
// matching slips by whole periods on such tracks after about 1200 sectors;
// secure mode never trusts it, and old-drive mode checks it against plain
// reads, so both come out byte-exact, and the old-drive rip names the slips.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "audio/cd/cd_in.h"
#include "fake_drive_model.h"
#include "support/disc_fixture.h"
#include "support/read_input.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

constexpr int kTrackSectors = 4500; // a minute: paranoia slips on the first two tracks

TEST(NearPeriodicImageTest, SecureAndOldDriveRipsAreExactAndTheSlipsAreReported)
{
    TempDir dir;
    std::vector<std::int32_t> starts;
    const std::vector<std::uint8_t> disc = NearPeriodicDisc(kTrackSectors, starts);
    const auto bin = dir / "disc.bin";
    std::ofstream(bin, std::ios::binary)
        .write(reinterpret_cast<const char*>(disc.data()),
               static_cast<std::streamsize>(disc.size()));
    const auto toc = dir / "disc.toc";
    {
        std::ofstream out(toc);
        out << "CD_DA\n";
        auto msf = [](std::int32_t s) {
            char text[16];
            std::snprintf(text, sizeof(text), "%02d:%02d:%02d", s / 4500, s / 75 % 60, s % 75);
            return std::string(text);
        };
        for (std::size_t i = 0; i + 1 < starts.size(); ++i)
            out << "\nTRACK AUDIO\nFILE \"" << bin.string() << "\" " << msf(starts[i]) << ' '
                << msf(starts[i + 1] - starts[i]) << '\n';
    }
    TCDIn input;
    input.SetCurrentDrive(LoadRealLibraryWithImages({toc}));
    ASSERT_EQ(input.TrackCount(), 4);
    int oldDriveCorrections = 0;
    for (const TCDReadMode mode : {rmSecure, rmOldDrive}) {
        input.SetReadMode(mode);
        for (int track = 1; track <= 2; ++track) {
            input.SetStartTrack(track);
            input.SetEndTrack(track);
            const std::vector<std::uint8_t> got = ReadWholeInput(input, 10000);
            const auto first = disc.begin() + starts[static_cast<std::size_t>(track - 1)] * 2352;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), first, first + kTrackSectors * 2352))
                << "mode " << mode << " track " << track;
            const TCDRipReport report = input.RipReport();
            EXPECT_TRUE(report.Proven);
            EXPECT_EQ(report.Suspicious, 0);
            if (mode == rmSecure)
                EXPECT_EQ(report.Corrected, 0);
            else
                oldDriveCorrections += report.Corrected;
        }
    }
    // paranoia's slips were found by the plain reads, not kept.
    EXPECT_GT(oldDriveCorrections, 0);
}

} // namespace
} // namespace sonfeld::test
