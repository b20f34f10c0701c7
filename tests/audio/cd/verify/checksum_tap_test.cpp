#include "audio/cd/verify/checksum_tap.h"

#include <gtest/gtest.h>

#include "audio/formats/wave/wave_out.h"
#include "reference_checksums.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/tools.h"

namespace sonfeld::verify {
namespace {

using sonfeld::test::OutputRunner;
using sonfeld::test::ReadFileBytes;
using sonfeld::test::TempDir;
using sonfeld::test::TMemoryInput;

// A real output writes what the tap passes on; the file's data must carry the
// same checksums the tap computed on the way.
TEST(ChecksumTapTest, OutputFileHoldsTheBytesTheChecksumsCover)
{
    const auto pcm = test::GeneratedPcm(3 * 44100 + 17, 21);
    TMemoryInput source(pcm);
    source.maxChunk = 1001; // short reads that end inside samples
    TChecksumTap tap(&source);
    tap.SetTrack({true, true});
    TempDir dir;
    TWaveOut output;
    output.SetInput(&tap);
    output.SetFileName((dir / "track.wav").string());
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    ASSERT_EQ(runner.errorCount, 0) << runner.LastError();

    const auto file = ReadFileBytes(dir / "track.wav");
    ASSERT_EQ(file.size(), 44 + pcm.size());
    const std::vector<std::uint8_t> data(file.begin() + 44, file.end());
    const auto expected = test::Reference(data, true, true);
    const auto sums = tap.Checksums();
    ASSERT_TRUE(sums.has_value());
    EXPECT_TRUE(sums->complete);
    EXPECT_EQ(sums->samples, static_cast<long long>(pcm.size() / 4));
    EXPECT_EQ(sums->crc32, expected.crc32);
    EXPECT_EQ(sums->accurateRipV1, expected.v1);
    EXPECT_EQ(sums->accurateRipV2, expected.v2);
    EXPECT_EQ(sums->peak, expected.peak);
    EXPECT_EQ(source.closeCount.load(), 1);
    EXPECT_FALSE(tap.Busy());

    // A second run starts afresh: the same audio gives the same sums.
    ASSERT_TRUE(runner.RunAndWait());
    ASSERT_TRUE(tap.Checksums().has_value());
    EXPECT_EQ(tap.Checksums()->crc32, expected.crc32);
}

TEST(ChecksumTapTest, RefusesRunsItCannotCheck)
{
    TMemoryInput unknownLength(test::GeneratedPcm(1000, 1));
    unknownLength.reportSize = false;
    TChecksumTap tap(&unknownLength);
    EXPECT_THROW(
        {
            try {
                tap.OpenInput();
            } catch (const EACSException& e) {
                EXPECT_STREQ(e.what(), "The track length is unknown");
                throw;
            }
        },
        EACSException);
    EXPECT_FALSE(unknownLength.Busy()); // closed again
    tap.SetTrack({}, 1000);
    EXPECT_NO_THROW(tap.OpenInput());
    tap.CloseInput();

    TMemoryInput mono(test::GeneratedPcm(1000, 2), 44100, 1, 16);
    TChecksumTap monoTap(&mono);
    EXPECT_THROW(monoTap.OpenInput(), EACSException);
    EXPECT_FALSE(mono.Busy());
}

TEST(ChecksumTapTest, ForgetsASourceThatIsDestroyed)
{
    auto source = std::make_unique<TMemoryInput>(test::GeneratedPcm(10, 1));
    TChecksumTap tap(source.get());
    source.reset();
    EXPECT_EQ(tap.Source(), nullptr);
    EXPECT_THROW(tap.OpenInput(), EACSException);
}

} // namespace
} // namespace sonfeld::verify
