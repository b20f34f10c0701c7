#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "audio/core/acs_exception.h"
#include "recording_output.h"
#include "support/empty_input.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/signals.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

std::vector<std::uint8_t> Pcm(int frames)
{
    return MakePcm(Signal::Music, frames);
}

// An input whose position and size a test sets directly.
class TFixedInput final : public TEmptyInput<TACSInput> {
public:
    void Set(std::int64_t position, std::int64_t size)
    {
        position_ = position;
        size_ = size;
    }
};

} // namespace

TEST(Pipeline, RunDeliversEveryByteAndEndsWithOnDone)
{
    const auto pcm = Pcm(44100);
    TMemoryInput input(pcm);
    input.maxChunk = 1000;
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(runner.errorCount, 0);
    EXPECT_EQ(output.Data(), pcm);
    EXPECT_EQ(output.finishCount, 1);
    EXPECT_EQ(input.closeCount, 1);
    EXPECT_FALSE(output.Busy());
    EXPECT_EQ(output.Status(), osIdle);
    EXPECT_NE(runner.doneThread, std::this_thread::get_id());
}

TEST(Pipeline, SecondRunWhileBusyIsRefusedAndFirstGoesOn)
{
    const auto pcm = Pcm(20000);
    TMemoryInput input(pcm);
    input.holdAt = 4000; // the first run waits there until the second was refused
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    output.Run();
    try {
        output.Run();
        ADD_FAILURE() << "a second Run must be refused";
    } catch (const EACSException& e) {
        EXPECT_STREQ(e.what(), "Component is buisy");
    }
    input.OpenGate();
    ASSERT_TRUE(runner.WaitForEnds(1));
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(output.Data(), pcm);
    EXPECT_EQ(output.prepareCount, 1);
}

TEST(Pipeline, RunWithoutInputIsRefused)
{
    TRecordingOutput output;
    try {
        output.Run();
        FAIL() << "Run without input must raise";
    } catch (const EACSException& e) {
        EXPECT_STREQ(e.what(), "Input is not assigned");
    }
    EXPECT_FALSE(output.Busy());
    EXPECT_EQ(output.prepareCount, 0);
}

TEST(Pipeline, StopWhileIdleDoesNotCutTheNextRun)
{
    const auto pcm = Pcm(10000);
    TMemoryInput input(pcm);
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    output.Stop();
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(output.Data(), pcm);
}

TEST(Pipeline, StopDuringRunEndsWithOnDoneAndKeepsWhatWasWritten)
{
    const auto pcm = Pcm(441000);
    TMemoryInput input(pcm);
    input.maxChunk = 400;
    TRecordingOutput output;
    output.SetInput(&input);
    output.blockBytes = 400;
    OutputRunner runner(output);
    std::atomic<int> cycles{0};
    output.duringBlock = [&] {
        if (++cycles == 10)
            output.Stop();
    };
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(runner.errorCount, 0);
    const auto written = output.Data();
    EXPECT_EQ(written.size(), 400u * 10);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), pcm.begin()));
    EXPECT_EQ(output.finishCount, 1);
}

TEST(Pipeline, ProgressRoundsHalfToEvenAndTellsUnknownSizes)
{
    TFixedInput input;
    TRecordingOutput output;
    EXPECT_EQ(output.Progress(), 0); // no input
    output.SetInput(&input);
    input.Set(1, 200);
    EXPECT_EQ(output.Progress(), 0);
    input.Set(3, 200);
    EXPECT_EQ(output.Progress(), 2);
    input.Set(200, 200);
    EXPECT_EQ(output.Progress(), 100);
    input.Set(5, -1);
    EXPECT_EQ(output.Progress(), -1);
    input.Set(5, 0);
    EXPECT_EQ(output.Progress(), 0);
    input.Set(300, 200);
    EXPECT_EQ(output.Progress(), 150); // not clamped
}

TEST(Pipeline, DelayRules)
{
    TRecordingOutput output;
    output.SetDelay(50);
    output.SetDelay(101);
    EXPECT_EQ(output.Delay(), 50);
    output.SetDelay(100);
    EXPECT_EQ(output.Delay(), 100);

    // A delay above 5 ms sleeps before every cycle: 12 cycles take at least 12 * 6 ms.
    const auto pcm = Pcm(1000);
    TMemoryInput input(pcm);
    input.maxChunk = 400; // 4000 bytes in 10 reads, one empty read, then the end
    output.SetInput(&input);
    output.blockBytes = 400;
    output.SetDelay(6);
    OutputRunner runner(output);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runner.RunAndWait());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(6 * 11));
    EXPECT_EQ(output.Data(), pcm);
}

TEST(Pipeline, FailedPrepareReportsOnCallerThreadAndFreesTheInput)
{
    const auto pcm = Pcm(1000);
    TMemoryInput input(pcm);
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    output.openThenFail = true;
    output.Run();
    // Reported before Run returned, on this thread.
    EXPECT_EQ(runner.Ends(), 1);
    EXPECT_EQ(runner.errorThread, std::this_thread::get_id());
    EXPECT_EQ(runner.LastError(), "prepare failed after opening the input");
    EXPECT_FALSE(output.Busy());
    EXPECT_EQ(output.finishCount, 0);
    // The input that the failed start opened is closed again, so the next run works.
    EXPECT_FALSE(input.Busy());
    output.openThenFail = false;
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(output.Data(), pcm);
}

TEST(Pipeline, FailedPrepareLeavesAnInputOpenedByOthersAlone)
{
    TMemoryInput input(Pcm(100));
    input.OpenInput(); // someone else's run
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    output.Run(); // its OpenInput fails with the input's busy message
    EXPECT_EQ(runner.LastError(), "The component is buisy");
    EXPECT_TRUE(input.Busy());
    input.CloseInput();
}

TEST(Pipeline, ErrorDuringRunFinishesAndReportsOnWorker)
{
    const auto pcm = Pcm(44100);
    TMemoryInput input(pcm);
    TRecordingOutput output;
    output.SetInput(&input);
    output.failAtBlock = 3;
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.errorCount, 1);
    EXPECT_EQ(runner.doneCount, 0);
    EXPECT_EQ(runner.LastError(), "block failed");
    EXPECT_NE(runner.errorThread, std::this_thread::get_id());
    EXPECT_EQ(output.finishCount, 1);
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(output.Status(), osIdle);
    // The output can run again.
    output.failAtBlock = -1;
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_EQ(output.Data(), pcm);
}

TEST(Pipeline, InputErrorEndsTheRunThroughOnThreadException)
{
    TMemoryInput input(Pcm(44100));
    input.failAfter = 10000;
    TRecordingOutput output;
    output.SetInput(&input);
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.errorCount, 1);
    EXPECT_EQ(runner.LastError(), "Simulated read failure");
    EXPECT_EQ(output.Data().size(), 10000u);
}

TEST(Pipeline, WorkerKeepsCyclingWhenNotSuspendedWhenIdle)
{
    const auto pcm = Pcm(5000);
    TMemoryInput input(pcm);
    TRecordingOutput output;
    output.SetInput(&input);
    output.SetSuspendWhenIdle(false);
    EXPECT_FALSE(output.SuspendWhenIdle());
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    const int calls = output.blockCalls;
    // The idle worker goes on calling OutputBlock, which returns at once. The
    // time limit only ends a test that would otherwise hang.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (output.blockCalls < calls + 50 && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    EXPECT_GE(output.blockCalls, calls + 50);
    EXPECT_EQ(output.Status(), osIdle);
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 2);
    EXPECT_EQ(output.Data(), pcm);
}

TEST(Pipeline, OnProgressFiresOnlyOnChangesUpToHundred)
{
    const auto pcm = Pcm(44100);
    TMemoryInput input(pcm);
    TRecordingOutput output;
    output.blockBytes = 176; // about a thousand cycles for a hundred steps
    output.SetInput(&input);
    OutputRunner runner(output);
    ASSERT_TRUE(runner.RunAndWait());
    ASSERT_FALSE(runner.progress.empty());
    for (std::size_t i = 1; i < runner.progress.size(); ++i)
        EXPECT_LT(runner.progress[i - 1], runner.progress[i]);
    EXPECT_EQ(runner.progress.back(), 100);
    EXPECT_LE(runner.progress.size(), 101u);
    EXPECT_GE(runner.progress.size(), 90u);
}

TEST(Pipeline, SwappingTheInputDuringARunTakesEffectBetweenReads)
{
    const auto first = MakePcm(Signal::Sine, 20000);
    const auto second = MakePcm(Signal::Noise, 2000);
    TMemoryInput a(first);
    TMemoryInput b(second);
    a.maxChunk = 400;
    TRecordingOutput output;
    output.blockBytes = 400;
    output.SetInput(&a);
    OutputRunner runner(output);
    std::atomic<int> cycles{0};
    output.duringBlock = [&] {
        if (++cycles == 5)
            std::thread([&] { output.SetInput(&b); }).join();
    };
    ASSERT_TRUE(runner.RunAndWait());
    EXPECT_EQ(runner.doneCount, 1);
    EXPECT_FALSE(a.Busy());
    EXPECT_EQ(a.closeCount, 1);
    const auto data = output.Data();
    ASSERT_EQ(data.size(), 400u * 4 + second.size());
    EXPECT_TRUE(std::equal(second.begin(), second.end(), data.begin() + 1600));
}

TEST(Pipeline, DestroyingTheInputDetachesIt)
{
    TRecordingOutput output;
    {
        TMemoryInput input(Pcm(10));
        output.SetInput(&input);
        EXPECT_EQ(output.Input(), &input);
    }
    EXPECT_EQ(output.Input(), nullptr);
}

TEST(Pipeline, DestroyingARunningOutputWindsTheRunUp)
{
    TMemoryInput input(Pcm(441000));
    input.maxChunk = 100;
    {
        TRecordingOutput output;
        output.SetInput(&input);
        output.blockBytes = 100;
        output.SetDelay(10); // thousands of cycles: the run is surely still going
        output.Run();
        while (input.readCount < 1)
            std::this_thread::yield();
        ASSERT_TRUE(output.Busy());
        // The destructor must stop the worker, finish the run and close the input.
    }
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(input.closeCount, 1);
}

TEST(Pipeline, AnOutputWhoseConstructorThrowsLeavesCleanly)
{
    class TRefusingOutput final : public TACSOutput {
    public:
        TRefusingOutput() { throw EACSException("library could not be loaded."); }
        ~TRefusingOutput() override { DestroyWorker(); }

    protected:
        bool OutputBlock(bool) override { return false; }
        void FinishOutput() override {}
        void PrepareOutput() override {}
    };
    EXPECT_THROW(TRefusingOutput(), EACSException);
}

TEST(Pipeline, AFailureOfAnUnknownKindInPrepareIsReportedAndClosesTheInput)
{
    TMemoryInput input(Pcm(1000));
    TRecordingOutput output;
    output.openThenThrowInt = true;
    output.SetInput(&input);
    OutputRunner runner(output);
    EXPECT_NO_THROW(output.Run());
    EXPECT_EQ(runner.errorCount, 1);
    EXPECT_EQ(runner.LastError(), "Unexpected error while writing the output");
    EXPECT_FALSE(input.Busy());
    EXPECT_EQ(output.Status(), osIdle);
}

TEST(Pipeline, AnInputDestroyedDuringARunEndsTheRunWithoutTouchingIt)
{
    // Run under AddressSanitizer and ThreadSanitizer in CI: before the input
    // detached itself first, the worker could read its freed buffer.
    for (int round = 0; round < 20; ++round) {
        auto input = std::make_unique<TMemoryInput>(Pcm(44100 * 10));
        input->maxChunk = 256;
        TRecordingOutput output;
        output.blockBytes = 256;
        output.SetInput(input.get());
        OutputRunner runner(output);
        output.Run();
        while (input->readCount < 1 + round)
            std::this_thread::yield();
        input.reset();
        ASSERT_TRUE(runner.WaitForEnds(1, std::chrono::seconds(20)));
        EXPECT_EQ(runner.doneCount, 1);
        EXPECT_EQ(output.Input(), nullptr);
        EXPECT_EQ(output.Status(), osIdle);
        EXPECT_EQ(output.finishCount, 1);
    }
}
