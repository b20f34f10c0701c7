// The APE output end to end: runs through the worker with an in-memory input,
// files checked with ffmpeg; library failures through a scripted library that
// forwards to the real one.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <string>
#include <sys/resource.h>

#include "ape_test_files.h"
#include "audio/core/acs_exception.h"
#include "audio/core/dynamic_library.h"
#include "audio/formats/ape/mac_dll.h"
#include "audio/formats/ape/mac_out.h"
#include "scripted_library.h"
#include "support/file_run.h"
#include "support/file_size_limit.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/tools.h"

namespace sonfeld::test::ape {
namespace {

// Exposes the run steps so the edge cases can be driven one call at a time.
class SteppedMACOut : public TMACOut {
public:
    using TMACOut::FinishOutput;
    using TMACOut::OutputBlock;
    using TMACOut::PrepareOutput;
};

class MACOutTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadMACDll(InProgramFolder(kMACDllFileName))); }
    void TearDown() override { LoadMACDll(InProgramFolder(kMACDllFileName)); }

    // Binds the scripted library and gives it script.
    void UseScriptedLibrary(const ScriptedLibraryScript& script)
    {
        const std::string path = InProgramFolder("libsonfeld_ape_scripted.so");
        ASSERT_TRUE(LoadMACDll(path));
        control_ = std::make_unique<DynamicLibrary>(path);
        control_->Resolve<proc_ScriptedLibrary_SetScript>("ScriptedLibrary_SetScript")(&script);
    }

    ScriptedLibraryLog Log() const
    {
        ScriptedLibraryLog log{};
        control_->Resolve<proc_ScriptedLibrary_GetLog>("ScriptedLibrary_GetLog")(&log);
        return log;
    }

    TempDir dir_;
    std::unique_ptr<DynamicLibrary> control_;
};

TEST_F(MACOutTest, MissingLibraryRefusesCreation)
{
    EXPECT_FALSE(LoadMACDll((dir_ / "libsonfeld_ape.so").string()));
    try {
        TMACOut output;
        FAIL() << "created without its library";
    } catch (const EACSException& e) {
        EXPECT_STREQ(e.what(), "libsonfeld_ape.so library could not be loaded.");
    }
}

TEST_F(MACOutTest, CompressionLevelKeepsOnlyKnownLevels)
{
    TMACOut output;
    EXPECT_EQ(output.CompressionLevel(), 2000);
    EXPECT_EQ(output.MaxAudioBytes(), -1);
    for (int level : {1000, 3000, 4000, 2000}) {
        output.SetCompressionLevel(level);
        EXPECT_EQ(output.CompressionLevel(), level);
    }
    for (int level : {5000, 0, -1, 2500}) {
        output.SetCompressionLevel(1000);
        output.SetCompressionLevel(level);
        EXPECT_EQ(output.CompressionLevel(), 2000) << level;
    }
    output.SetMaxAudioBytes(12345);
    EXPECT_EQ(output.MaxAudioBytes(), 12345);
}

TEST_F(MACOutTest, EveryLevelWritesFilesFfmpegDecodesBitExact)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    // Two frames and a bit at levels 1000-3000; reads of odd sizes.
    const auto pcm = MakePcm(Signal::Music, 2 * 73728 + 4321);
    TMACOut output;
    TMemoryInput input(pcm);
    input.maxChunk = 40001;
    output.SetInput(&input);
    for (int level : {1000, 2000, 3000, 4000}) {
        SCOPED_TRACE(level);
        const auto file = dir_ / ("track" + std::to_string(level) + ".ape");
        output.SetCompressionLevel(level);
        output.SetFileName(file.string());
        OutputRunner runner(output);
        ASSERT_TRUE(runner.RunAndWait());
        EXPECT_EQ(runner.doneCount, 1);
        EXPECT_EQ(runner.errorCount, 0) << runner.LastError();
        EXPECT_EQ(input.Busy(), false);
        ASSERT_FALSE(runner.progress.empty());
        EXPECT_EQ(runner.progress.back(), 100);
        const auto bytes = ReadFileBytes(file);
        EXPECT_EQ(Read16(bytes, 52), level);
        const Decoded decoded = FfmpegCrcDecode(file);
        EXPECT_EQ(decoded.status, 0);
        EXPECT_TRUE(decoded.pcm == pcm);
    }
}

TEST_F(MACOutTest, EmptyInputEndsOnTheSecondBlockWithAFileWithoutAudio)
{
    SteppedMACOut output;
    TMemoryInput input({});
    output.SetInput(&input);
    const auto file = dir_ / "empty.ape";
    output.SetFileName(file.string());
    output.PrepareOutput();
    EXPECT_TRUE(output.OutputBlock(false));
    EXPECT_FALSE(output.OutputBlock(false));
    output.FinishOutput();
    EXPECT_FALSE(input.Busy());
    const auto bytes = ReadFileBytes(file);
    ASSERT_GE(bytes.size(), 80u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MAC ");
    EXPECT_EQ(Read32(bytes, 64), 0u); // no frames
}

TEST_F(MACOutTest, SmallLibraryRoomIsFilledPieceByPieceWithoutLosingAByte)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    ScriptedLibraryScript script{};
    script.roomLimit = 777; // odd, so pieces split blocks and samples
    UseScriptedLibrary(script);
    const auto pcm = MakePcm(Signal::Music, 44100);
    TMACOut output;
    TMemoryInput input(pcm);
    const auto file = dir_ / "pieces.ape";
    const FileRun run = RunToFile(output, input, file);
    ASSERT_EQ(run.done, 1) << run.error;
    const ScriptedLibraryLog log = Log();
    EXPECT_EQ(log.bytes, static_cast<std::int64_t>(pcm.size()));
    EXPECT_EQ(log.largestPiece, 777);
    EXPECT_EQ(log.locks, log.unlocks);
    EXPECT_GE(log.unlocks, static_cast<int>(pcm.size() / 777));
    const Decoded decoded = FfmpegCrcDecode(file);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_TRUE(decoded.pcm == pcm);
}

TEST_F(MACOutTest, RejectedPieceEndsTheRunWithItsCodeAndStillFinishes)
{
    ScriptedLibraryScript script{};
    script.unlockErrorAtCall = 2;
    script.unlockError = 7000;
    UseScriptedLibrary(script);
    TMACOut output;
    TMemoryInput input(MakePcm(Signal::Music, 44100));
    const FileRun run = RunToFile(output, input, dir_ / "rejected.ape");
    EXPECT_EQ(run.done, 0);
    EXPECT_EQ(run.error, "APECompress.UnlockBuffer Error: 7000");
    EXPECT_EQ(Log().finishes, 1);
    EXPECT_EQ(Log().destroys, 1);
    EXPECT_FALSE(input.Busy());
    EXPECT_FALSE(output.Busy());
}

TEST_F(MACOutTest, ErrorTextsNameTheCodeOrSayUndefined)
{
    EXPECT_EQ(APEErrorText(7000), "undefined (7000)");
    EXPECT_EQ(APEErrorText(-3), "undefined (-3)");
    EXPECT_EQ(APEErrorText(1004), "input file file too large");
    EXPECT_EQ(APEErrorText(6000), "APE compress too much data");
    EXPECT_STREQ(EAPEException(2000).what(), "MACDll error: insufficient memory");
    EXPECT_STREQ(EAPEException(7000).what(), "MACDll error: undefined (7000)");
}

TEST_F(MACOutTest, FailedStartReportsTheTextAndReadsNothing)
{
    TMACOut output;
    TMemoryInput input(MakePcm(Signal::Music, 1000, 6), 44100, 6);
    output.SetInput(&input);
    output.SetFileName((dir_ / "six.ape").string());
    OutputRunner runner(output);
    output.Run();
    EXPECT_EQ(runner.errorCount, 1);
    EXPECT_EQ(runner.LastError(),
              "Error starting APECompress.\r\ninput file unsupported channel count");
    EXPECT_EQ(input.readCount, 0);
    EXPECT_FALSE(output.Busy());
    EXPECT_FALSE(input.Busy()); // the framework closes what a failed start opened
    EXPECT_FALSE(std::filesystem::exists(dir_ / "six.ape"));

    output.SetFileName((dir_ / "missing-folder" / "x.ape").string());
    TMemoryInput stereo(MakePcm(Signal::Music, 1000));
    output.SetInput(&stereo);
    output.Run();
    EXPECT_EQ(runner.LastError(), "Error starting APECompress.\r\ninvalid output file");
}

TEST_F(MACOutTest, LibraryThatCannotCreateACompressorGivesItsText)
{
    ScriptedLibraryScript script{};
    script.createError = 2000;
    UseScriptedLibrary(script);
    TMACOut output;
    TMemoryInput input(MakePcm(Signal::Music, 1000));
    output.SetInput(&input);
    output.SetFileName((dir_ / "nomemory.ape").string());
    OutputRunner runner(output);
    output.Run();
    EXPECT_EQ(runner.LastError(), "MACDll error: insufficient memory");
    EXPECT_FALSE(input.Busy());
}

TEST_F(MACOutTest, EmptyFileNameIsRefusedBeforeTheInputOpens)
{
    TMACOut output;
    TMemoryInput input(MakePcm(Signal::Music, 1000));
    output.SetInput(&input);
    OutputRunner runner(output);
    output.Run();
    EXPECT_EQ(runner.LastError(), "File name is not assigned.");
    EXPECT_EQ(input.openCount, 0);
}

TEST_F(MACOutTest, FullDiskEndsTheRunAsAFailure)
{
    TMACOut output;
    OutputRunner runner(output);
    if (std::filesystem::exists("/dev/full")) {
        // Full from the start: the headers cannot be reserved.
        TMemoryInput input(MakePcm(Signal::Music, 1000));
        output.SetInput(&input);
        output.SetFileName("/dev/full");
        output.Run();
        EXPECT_EQ(runner.LastError(), "Error starting APECompress.\r\nI/O write error");
        EXPECT_FALSE(input.Busy());
    }

    // The reserved headers (about 29 KB) fit; the compressed audio does not.
    const FileSizeLimit limit(40000);
    const auto file = dir_ / "full.ape";
    output.SetFileName(file.string());

    // Full while frames are written: noise hardly compresses, so the writes
    // of the first frames already fail. The library holds at most 16 frames
    // in flight on its workers, so the failure shows before the input ends.
    TMemoryInput longInput(MakePcm(Signal::Noise, 20 * 73728, 2, 44100, 1.0));
    output.SetInput(&longInput);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 0);
    EXPECT_EQ(runner.LastError(), "APECompress.UnlockBuffer Error: 1001");
    EXPECT_FALSE(longInput.Busy());
    EXPECT_FALSE(output.Busy());

    // Less than a frame: nothing is written before the end, where it fails.
    const int errorsBefore = runner.errorCount;
    TMemoryInput shortInput(MakePcm(Signal::Noise, 30000, 2, 44100, 1.0));
    output.SetInput(&shortInput);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 0);
    EXPECT_EQ(runner.errorCount, errorsBefore + 1);
    EXPECT_EQ(runner.LastError(), "APECompress.Finish Error: 1001");
    EXPECT_FALSE(shortInput.Busy());
}

TEST_F(MACOutTest, IncompleteLastBlockIsReportedAndTheWholeBlocksKept)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    auto pcm = MakePcm(Signal::Music, 5000);
    pcm.push_back(0x12);
    pcm.push_back(0x34);
    TMACOut output;
    TMemoryInput input(pcm);
    const auto file = dir_ / "partial.ape";
    ASSERT_EQ(RunToFile(output, input, file).error, "APECompress.Finish Error: 1002");
    const Decoded decoded = FfmpegCrcDecode(file);
    EXPECT_EQ(decoded.status, 0);
    pcm.resize(pcm.size() - 2);
    EXPECT_TRUE(decoded.pcm == pcm);
}

TEST_F(MACOutTest, AnnouncedSizeIsHonouredAndExceedingItFails)
{
    const auto pcm = MakePcm(Signal::Music, 80000);
    TMACOut output;
    TMemoryInput input(pcm);
    output.SetInput(&input);
    output.SetMaxAudioBytes(static_cast<int>(pcm.size()));
    const auto exact = dir_ / "exact.ape";
    output.SetFileName(exact.string());
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.errorCount, 0) << runner.LastError();
    EXPECT_EQ(Read32(ReadFileBytes(exact), 16), 8u); // a seek entry for each of the 2 frames

    output.SetMaxAudioBytes(static_cast<int>(pcm.size()) - 4000);
    output.SetFileName((dir_ / "over.ape").string());
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.LastError(), "APECompress.UnlockBuffer Error: 6000");
}

TEST_F(MACOutTest, StopFinishesTheFileOverWhatWasHandedOver)
{
    if (!ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg not installed";
    const auto pcm = MakePcm(Signal::Music, 30 * 44100);
    TMACOut output;
    TMemoryInput input(pcm);
    input.maxChunk = 4096;
    input.holdAt = 100000;
    const auto file = dir_ / "stopped.ape";
    ASSERT_EQ(StopAtHold(output, input, file).done, 1);
    const Decoded decoded = FfmpegCrcDecode(file);
    EXPECT_EQ(decoded.status, 0);
    ASSERT_GT(decoded.pcm.size(), 0u);
    ASSERT_LT(decoded.pcm.size(), pcm.size());
    EXPECT_EQ(decoded.pcm.size(), static_cast<std::size_t>(input.Position()));
    EXPECT_TRUE(std::equal(decoded.pcm.begin(), decoded.pcm.end(), pcm.begin()));
}

} // namespace
} // namespace sonfeld::test::ape
