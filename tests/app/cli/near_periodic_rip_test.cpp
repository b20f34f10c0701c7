// Near-periodic audio on a cdrdao TOC image, ripped by the program itself in
// each of its reading modes with AccurateRip out of reach: every track file
// holds exactly the image's audio (paranoia over libcdio's TOC reader once
// shifted such tracks by whole periods and called them done).

#include <gtest/gtest.h>

#include <fstream>

#include "audio/core/dynamic_library.h"
#include "support/http/http_test_server.h"
#include "support/image_writers.h"
#include "support/tools.h"
#include "wav_reader.h"

namespace sonfeld::test {
namespace {

TEST(NearPeriodicRipTest, EveryReadingModeRipsTheTocImageBitExactly)
{
    TempDir image;
    TempDir config;
    const std::vector<Bytes> tracks =
        WriteNearPeriodicToc(image.Path(), {1300, 2500, 1700, 2100, 1400, 2300});
    std::filesystem::create_directories(config / "Tessaly");
    std::ofstream(config / "Tessaly" / "CDRip.conf")
        << "[General]\nAccurateRipServer=http://127.0.0.1:" << UnusedLocalPort()
        << "/accuraterip\nCTDBServer=http://127.0.0.1:" << UnusedLocalPort() << "\n";
    for (const std::string mode : {"--reading-mode secure", "--reading-mode fast-verify",
                                   "--reading-mode old-drive", "--test-and-copy"}) {
        SCOPED_TRACE(mode);
        TempDir out;
        std::string output;
        const int status =
            RunCommand("XDG_CONFIG_HOME=" + ShellQuote(config.Path().string()) + " " +
                           ShellQuote(InProgramFolder("sonfeld")) + " --rip --image " +
                           ShellQuote((image / "near.toc").string()) + " --format Wav --out " +
                           ShellQuote(out.Path().string()) + " " + mode + " 2>&1",
                       &output);
        // Without a database a rip may end unproven (1), never failed.
        EXPECT_TRUE(status == 0 || status == 1) << status << output;
        for (std::size_t t = 0; t < tracks.size(); ++t) {
            const auto file = out / ("Track" + std::to_string(t + 1) + ".wav");
            ASSERT_TRUE(std::filesystem::exists(file)) << output;
            EXPECT_TRUE(disc_image::ReadCdWav(file) == tracks[t]) << "track " << t + 1;
        }
    }
}

} // namespace
} // namespace sonfeld::test
