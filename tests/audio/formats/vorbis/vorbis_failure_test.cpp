// Runs that must fail: each ends through OnThreadException with a clear
// message, never through OnDone, and leaves neither the input open nor a
// stream half set up.
#include <gtest/gtest.h>

#include "support/signals.h"
#include "support/tools.h"
#include "vorbis_test_helpers.h"

namespace sonfeld::test {
namespace {

struct FailedRun {
    int done = 0;
    int errors = 0;
    std::string message;
};

FailedRun RunExpectingFailure(TVorbisOut& output, TMemoryInput& input, const std::string& file)
{
    OutputRunner runner(output);
    output.SetInput(&input);
    output.SetFileName(file);
    EXPECT_TRUE(runner.RunAndWait());
    EXPECT_EQ(output.Status(), osIdle);
    EXPECT_EQ(input.openCount.load(), input.closeCount.load()) << "input left open";
    return {runner.doneCount, runner.errorCount, runner.LastError()};
}

TEST(VorbisFailures, FullDiskEndsTheRunAsAFailure)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TMemoryInput input(MakePcm(Signal::Noise, 44100 * 10, 2));
    TVorbisOut output;
    const FailedRun run = RunExpectingFailure(output, input, "/dev/full");
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(run.errors, 1);
    EXPECT_NE(run.message.find("/dev/full"), std::string::npos) << run.message;
}

TEST(VorbisFailures, FullDiskOnASmallFileFailsWhenTheFileIsClosed)
{
    // Everything fits the stream's write buffer, so the failure surfaces only
    // when the file is closed at the end of the run.
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TMemoryInput input(MakePcm(Signal::Sine, 100, 2));
    TVorbisOut output;
    const FailedRun run = RunExpectingFailure(output, input, "/dev/full");
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(run.errors, 1);
}

TEST(VorbisFailures, EmptyFileNameIsRefused)
{
    TMemoryInput input(MakePcm(Signal::Sine, 1000, 2));
    TVorbisOut output;
    const FailedRun run = RunExpectingFailure(output, input, "");
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.message, "File name is not assigned.");
    EXPECT_EQ(input.openCount, 0);
}

TEST(VorbisFailures, FileInAMissingFolderCannotBeCreated)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Sine, 1000, 2));
    TVorbisOut output;
    const std::string file = (dir / "no-such-folder" / "x.ogg").string();
    const FailedRun run = RunExpectingFailure(output, input, file);
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.message.rfind("Cannot create file \"" + file + "\".", 0), 0u) << run.message;
}

TEST(VorbisFailures, ReadFailureEndsTheRunAndClosesTheFile)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Music, 44100 * 5, 2));
    input.failAfter = 300000;
    TVorbisOut output;
    const FailedRun run = RunExpectingFailure(output, input, (dir / "broken.ogg").string());
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(run.message, "Simulated read failure");
    // The pages written before the failure are in the closed file.
    EXPECT_GE(ReadOggPages(dir / "broken.ogg").size(), 3u);
    // The same output runs again normally afterwards.
    TMemoryInput next(MakePcm(Signal::Sine, 44100, 2));
    OutputRunner runner(output);
    ASSERT_TRUE(EncodeInto(output, next, dir / "next.ogg", runner));
    EXPECT_EQ(runner.doneCount, 1) << runner.LastError();
    EXPECT_TRUE(ReadOggPages(dir / "next.ogg").back().Eos());
}

TEST(VorbisFailures, UnsupportedSampleWidthIsRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    TMemoryInput input(std::vector<std::uint8_t>(6000, 0), 44100, 2, 24);
    TVorbisOut output;
    const FailedRun run = RunExpectingFailure(output, input, (dir / "wide.ogg").string());
    EXPECT_EQ(run.message, "Ogg Vorbis output takes 8-bit or 16-bit PCM, not 24-bit.");
    EXPECT_FALSE(std::filesystem::exists(dir / "wide.ogg"));
}

TEST(VorbisFailures, RefusedQualityIsReportedAndTheOldFileKept)
{
    TempDir dir;
    const std::vector<std::uint8_t> old(1234, 0x5A);
    WriteFileBytes(dir / "q.ogg", old);
    TMemoryInput input(MakePcm(Signal::Sine, 1000, 2));
    TVorbisOut output;
    output.SetCompression(-0.5f);
    const FailedRun run = RunExpectingFailure(output, input, (dir / "q.ogg").string());
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(
        run.message,
        "The Vorbis encoder does not support quality -0.500000 at 44100 Hz with 2 channel(s).");
    EXPECT_EQ(ReadFileBytes(dir / "q.ogg"), old);
    EXPECT_EQ(input.openCount, 0);
}

TEST(VorbisFailures, RefusedBitRateIsReportedNotEncoded)
{
    // 499 kbit/s is far beyond what libvorbisenc offers for 8 kHz mono.
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Sine, 1000, 1, 8000), 8000, 1);
    TVorbisOut output;
    output.SetDesiredNominalBitrate(br499);
    const FailedRun run = RunExpectingFailure(output, input, (dir / "b.ogg").string());
    EXPECT_EQ(run.errors, 1);
    EXPECT_EQ(run.message, "The Vorbis encoder does not support the bit rates 499000 (maximum), "
                           "499000 (nominal) and 499000 (minimum) bit/s at 8000 Hz with 1 "
                           "channel(s).");
}

TEST(VorbisFailures, MalformedCommentLineIsRefusedAndKept)
{
    TempDir dir;
    TMemoryInput input(MakePcm(Signal::Sine, 1000, 2));
    TVorbisOut output;
    output.SetComments({"TITLE=ok", "no equals sign"});
    FailedRun run = RunExpectingFailure(output, input, (dir / "c.ogg").string());
    EXPECT_EQ(run.message, "Comment line \"no equals sign\" is not of the form Name=Value.");
    // Nothing was written, so the lines stay for the caller to correct.
    EXPECT_EQ(output.Comments().size(), 2u);
    output.SetComments({"=value without a name"});
    run = RunExpectingFailure(output, input, (dir / "c.ogg").string());
    EXPECT_EQ(run.message, "Comment line \"=value without a name\" is not of the form Name=Value.");
}

} // namespace
} // namespace sonfeld::test
