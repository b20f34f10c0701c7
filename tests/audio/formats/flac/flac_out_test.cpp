#include <gtest/gtest.h>

#include "audio/core/acs_exception.h"
#include "flac_test_util.h"
#include "support/missing_library.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 4608;

} // namespace

TEST(FlacOut, CdAudioRoundTripsThroughFlacAndFfmpeg)
{
    TempDir dir;
    const int frames = 5 * kRate + 321;
    const auto pcm = MakePcm(Signal::Music, frames);
    const auto file = dir / "a.flac";
    TMemoryInput input(pcm);
    TFLACOut output;
    const auto run = RunToFile(output, input, file);
    ASSERT_EQ(run.done, 1) << run.error;
    EXPECT_EQ(run.errors, 0);
    EXPECT_EQ(input.closeCount.load(), 1);

    EXPECT_TRUE(FlacTestPasses(file));
    EXPECT_TRUE(FlacDecode(file) == pcm);
    EXPECT_TRUE(FfmpegDecode(file) == pcm);
    EXPECT_EQ(Metaflac(file, "--show-total-samples"), std::to_string(frames));
    EXPECT_EQ(Metaflac(file, "--show-md5sum"), Md5Hex(pcm, dir));
    EXPECT_EQ(Metaflac(file, "--show-sample-rate"), "44100");
    EXPECT_EQ(Metaflac(file, "--show-channels"), "2");
    EXPECT_EQ(Metaflac(file, "--show-bps"), "16");
    // No metadata of our own: no tags, seek table or padding (libFLAC adds
    // only an empty comment block naming itself).
    EXPECT_EQ(Metaflac(file, "--list --block-type=SEEKTABLE,PADDING,APPLICATION,CUESHEET,PICTURE"),
              "");
    EXPECT_EQ(Metaflac(file, "--export-tags-to=-"), "");
}

TEST(FlacOut, EveryBlockButTheLastIsWholeAndTheEndIsNotReadAgain)
{
    TempDir dir;
    const int frames = 2 * kBlock + 1000;
    const auto pcm = MakePcm(Signal::Noise, frames);
    TMemoryInput input(pcm);
    TFLACOut output;
    ASSERT_EQ(RunToFile(output, input, dir / "p.flac").done, 1);
    // Two full blocks, the partial one, and the read that returned 0 inside it.
    EXPECT_EQ(input.readCount.load(), 4);
    const auto analysis = FlacAnalysis(dir / "p.flac");
    ASSERT_EQ(analysis.size(), 3u);
    EXPECT_EQ(analysis[0].blocksize, kBlock);
    EXPECT_EQ(analysis[1].blocksize, kBlock);
    EXPECT_EQ(analysis[2].blocksize, 1000);
    EXPECT_TRUE(FlacDecode(dir / "p.flac") == pcm);

    // Short reads are gathered into whole blocks all the same.
    TMemoryInput trickle(pcm);
    trickle.maxChunk = 999;
    ASSERT_EQ(RunToFile(output, trickle, dir / "t.flac").done, 1);
    EXPECT_TRUE(ReadFileBytes(dir / "t.flac") == ReadFileBytes(dir / "p.flac"));
}

TEST(FlacOut, UnknownSizeGivesTheSameFile)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 3 * kRate + 1);
    TFLACOut output;
    TMemoryInput known(pcm);
    TMemoryInput unknown(pcm);
    unknown.reportSize = false;
    ASSERT_EQ(RunToFile(output, known, dir / "k.flac").done, 1);
    ASSERT_EQ(RunToFile(output, unknown, dir / "u.flac").done, 1);
    EXPECT_TRUE(ReadFileBytes(dir / "k.flac") == ReadFileBytes(dir / "u.flac"));
    EXPECT_EQ(Metaflac(dir / "u.flac", "--show-total-samples"), std::to_string(3 * kRate + 1));
}

TEST(FlacOut, MonoAndOtherWidthsRoundTrip)
{
    TempDir dir;
    TFLACOut output;
    // The stereo settings are on but do not apply to one channel.
    output.SetEnableLooseMidSideStereo(true);
    const auto mono = MakePcm(Signal::Music, 2 * kRate + 3, 1);
    TMemoryInput monoInput(mono, kRate, 1, 16);
    ASSERT_EQ(RunToFile(output, monoInput, dir / "m.flac").done, 1);
    EXPECT_EQ(Metaflac(dir / "m.flac", "--show-channels"), "1");
    EXPECT_TRUE(FlacDecode(dir / "m.flac") == mono);

    // 8-bit PCM is unsigned; FLAC stores it signed, so flac gives back b - 128.
    const auto wide = MakePcm(Signal::Noise, kRate);
    std::vector<std::uint8_t> narrow(wide.begin(), wide.begin() + kRate * 2);
    TMemoryInput eight(narrow, kRate, 2, 8);
    ASSERT_EQ(RunToFile(output, eight, dir / "8.flac").done, 1);
    EXPECT_TRUE(FlacTestPasses(dir / "8.flac"));
    auto expected = narrow;
    for (auto& b : expected)
        b ^= 0x80;
    EXPECT_TRUE(FlacDecode(dir / "8.flac") == expected);

    // 24-bit, six channels at 96 kHz: three bytes per sample, passed through as is.
    std::vector<std::uint8_t> deep(wide.begin(), wide.begin() + 6 * 3 * 7000);
    TMemoryInput deepInput(deep, 96000, 6, 24);
    ASSERT_EQ(RunToFile(output, deepInput, dir / "24.flac").done, 1);
    EXPECT_EQ(Metaflac(dir / "24.flac", "--show-bps"), "24");
    EXPECT_EQ(Metaflac(dir / "24.flac", "--show-channels"), "6");
    EXPECT_TRUE(FlacDecode(dir / "24.flac") == deep);
}

TEST(FlacOut, EmptyInputAndStopBeforeTheFirstBlockGiveValidEmptyFiles)
{
    TempDir dir;
    TFLACOut output;
    TMemoryInput empty({});
    ASSERT_EQ(RunToFile(output, empty, dir / "e.flac").done, 1);
    EXPECT_TRUE(FlacTestPasses(dir / "e.flac"));
    EXPECT_EQ(Metaflac(dir / "e.flac", "--show-total-samples"), "0");

    // The worker sleeps 100 ms before its first cycle, long enough for the
    // stop request to be there when it asks.
    TMemoryInput input(MakePcm(Signal::Music, kRate));
    output.SetInput(&input);
    output.SetFileName((dir / "s.flac").string());
    output.SetDelay(100);
    OutputRunner runner(output);
    output.Run();
    output.Stop();
    ASSERT_TRUE(runner.WaitForEnds(1));
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(runner.errorCount, 0);
    EXPECT_EQ(input.readCount.load(), 0);
    EXPECT_EQ(input.closeCount.load(), 1);
    EXPECT_TRUE(FlacTestPasses(dir / "s.flac"));
    EXPECT_EQ(Metaflac(dir / "s.flac", "--show-total-samples"), "0");
}

TEST(FlacOut, StopDuringARunFinishesTheFileOverWhatWasRead)
{
    TempDir dir;
    const auto pcm = MakePcm(Signal::Music, 60 * kRate);
    TMemoryInput input(pcm);
    TFLACOut output;
    output.SetInput(&input);
    output.SetFileName((dir / "s.flac").string());
    OutputRunner runner(output);
    output.OnProgress = [&](TComponent*) {
        if (output.Progress() >= 10)
            output.Stop();
    };
    output.Run();
    ASSERT_TRUE(runner.WaitForEnds(1));
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_TRUE(FlacTestPasses(dir / "s.flac"));
    const auto decoded = FlacDecode(dir / "s.flac");
    EXPECT_EQ(decoded.size(), static_cast<std::size_t>(input.Position()));
    EXPECT_LT(decoded.size(), pcm.size() / 2);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), pcm.begin()));
}

TEST(FlacOut, AlwaysRewritesAnExistingFile)
{
    TempDir dir;
    const auto file = dir / "old.flac";
    WriteFileBytes(file, std::vector<std::uint8_t>(3'000'000, 0xAA));
    TFLACOut output;
    output.SetFileMode(foAppend);
    EXPECT_EQ(output.FileMode(), foRewrite);
    const auto pcm = MakePcm(Signal::Sine, kRate);
    TMemoryInput input(pcm);
    ASSERT_EQ(RunToFile(output, input, file).done, 1);
    EXPECT_LT(std::filesystem::file_size(file), 3'000'000u);
    EXPECT_TRUE(FlacDecode(file) == pcm);
}

TEST(FlacOutFailure, FullDiskEndsTheRunThroughOnThreadException)
{
    // A long run fails while encoding; a short one when libFLAC completes the
    // file and the buffered bytes reach the disk.
    for (const int frames : {20 * kRate, 1000}) {
        TMemoryInput input(MakePcm(Signal::Noise, frames));
        TFLACOut output;
        const auto run = RunToFile(output, input, "/dev/full");
        EXPECT_EQ(run.done, 0) << frames;
        EXPECT_EQ(run.errors, 1) << frames;
        // The stream's own reason, not libFLAC's bare failure.
        EXPECT_EQ(run.error, "Cannot write to file \"/dev/full\". No space left on device")
            << frames;
        EXPECT_FALSE(input.Busy());
        if (input.Size() > 1'000'000) {
            // The run ends at the first failed write, not after all was read.
            EXPECT_LT(input.Position(), input.Size() / 2);
        }
    }
}

TEST(FlacOutFailure, BadSetUpIsReportedAndLeavesTheInputClosed)
{
    TempDir dir;
    TFLACOut output;
    TMemoryInput input(MakePcm(Signal::Sine, 1000));
    auto run = RunToFile(output, input, "");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.error, "File name is not assigned.");

    run = RunToFile(output, input, dir / "missing" / "x.flac");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.error.rfind("Cannot create file \"", 0), 0u) << run.error;

    TMemoryInput nine(std::vector<std::uint8_t>(18000), kRate, 9, 16);
    run = RunToFile(output, nine, dir / "nine.flac");
    EXPECT_EQ(run.error, "Failed to initialize FLAC encoder.");
    EXPECT_FALSE(nine.Busy());
    TMemoryInput twelve(std::vector<std::uint8_t>(18000), kRate, 2, 12);
    run = RunToFile(output, twelve, dir / "twelve.flac");
    EXPECT_EQ(run.error, "Failed to initialize FLAC encoder.");
    EXPECT_FALSE(twelve.Busy());
    EXPECT_EQ(run.done, 0);

    // The output is still usable afterwards.
    TMemoryInput good(MakePcm(Signal::Sine, 1000));
    EXPECT_EQ(RunToFile(output, good, dir / "good.flac").done, 1);
}

TEST(FlacOutFailure, ReadFailureEndsTheRunAndClosesTheFile)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Music, 3 * kRate));
    input.failAfter = 100'000;
    TFLACOut output;
    const auto run = RunToFile(output, input, dir / "f.flac");
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(run.error, "Simulated read failure");
    EXPECT_FALSE(input.Busy());
}

TEST(FlacOutLibrary, MissingLibraryIsNamedInTheMessage)
{
    ExpectOutputRefusedWhileBoundTo<FLACEntryPoints, TFLACOut>("libFLAC-missing.so.404");
    // A library without the stream encoder is refused the same way.
    ExpectOutputRefusedWhileBoundTo<FLACEntryPoints, TFLACOut>("libm.so.6");
    ASSERT_TRUE(LoadBinding<FLACEntryPoints>());
    EXPECT_NO_THROW(TFLACOut());
}
