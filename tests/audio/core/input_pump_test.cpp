#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "audio/core/input_pump.h"
#include "audio/core/pcm_spool.h"
#include "audio/core/spool_input.h"
#include "recording_output.h"
#include "support/memory_input.h"
#include "support/output_runner.h"
#include "support/signals.h"
#include "support/tools.h"

using namespace sonfeld;
using namespace sonfeld::test;

namespace {

// A source read through a pump into a spool and encoded from it, as a rip
// overlaps the drive with its encoders.
struct PumpedRun {
    explicit PumpedRun(std::vector<std::uint8_t> pcm, std::size_t budgetBytes)
        : source(std::move(pcm)), budget(budgetBytes),
          spool(std::make_shared<PcmSpool>(budget, dir.Path() / "track.spill"))
    {
        source.maxChunk = 3000;
    }

    void Start()
    {
        pump = std::make_unique<TInputPump>(source, *spool, [this](bool ok, const std::string& e) {
            std::lock_guard lock(mutex);
            finishedOk = ok;
            finishedError = e;
            ++finished;
        });
        pump->Start();
        input = std::make_unique<TSpoolIn>(spool, 44100, 2, 16, pump->Size());
        output.SetInput(input.get());
    }

    TempDir dir;
    TMemoryInput source;
    SpoolBudget budget;
    std::shared_ptr<PcmSpool> spool;
    // Written by the pump's thread; read once it was waited for.
    std::mutex mutex;
    int finished = 0;
    bool finishedOk = false;
    std::string finishedError;
    std::unique_ptr<TInputPump> pump;
    std::unique_ptr<TSpoolIn> input;
    TRecordingOutput output;
};

} // namespace

TEST(InputPump, EncoderGetsEveryByteInOrderFromMemoryAndFromTheSpillFile)
{
    const auto pcm = MakePcm(Signal::Music, 100000);
    for (const std::size_t budget : {pcm.size() * 2, std::size_t{20000}}) {
        PumpedRun run(pcm, budget);
        run.Start();
        OutputRunner runner(run.output);
        ASSERT_TRUE(runner.RunAndWait());
        run.pump->Wait();
        EXPECT_EQ(runner.errorCount, 0) << runner.LastError();
        EXPECT_EQ(run.output.Data(), pcm);
        EXPECT_EQ(run.finished, 1);
        EXPECT_TRUE(run.finishedOk);
        EXPECT_EQ(run.source.closeCount, 1);
        EXPECT_EQ(run.pump->Position(), static_cast<std::int64_t>(pcm.size()));
        // The encoder's progress comes from the size the source gave.
        EXPECT_EQ(runner.progress.back(), 100);
        EXPECT_EQ(run.spool->BytesSpilled() > 0, budget < pcm.size());
    }
}

TEST(InputPump, SourceFailureEndsTheEncoderWithTheSourceMessage)
{
    PumpedRun run(MakePcm(Signal::Music, 50000), 1 << 20);
    run.source.failAfter = 60000;
    run.Start();
    OutputRunner runner(run.output);
    ASSERT_TRUE(runner.RunAndWait());
    run.pump->Wait();
    EXPECT_EQ(runner.errorCount, 1);
    EXPECT_EQ(runner.LastError(), "Simulated read failure");
    EXPECT_FALSE(run.finishedOk);
    EXPECT_EQ(run.finishedError, "Simulated read failure");
    EXPECT_EQ(run.source.closeCount, 1);
}

TEST(InputPump, StoppedPumpAndEarlyEndingEncoderNeverHang)
{
    {
        // The pump stops before the source ends: the encoder fails, not waits.
        PumpedRun run(MakePcm(Signal::Music, 400000), 1 << 22);
        run.source.holdAt = 64000;
        run.Start();
        run.source.WaitUntilHeld();
        run.pump->Stop();
        run.source.OpenGate();
        OutputRunner runner(run.output);
        ASSERT_TRUE(runner.RunAndWait(std::chrono::seconds(30)));
        run.pump->Wait();
        EXPECT_FALSE(run.finishedOk);
        EXPECT_TRUE(run.finishedError.empty());
        EXPECT_EQ(runner.errorCount, 1);
        EXPECT_EQ(runner.LastError(), "Stopped.");
    }
    {
        // The encoder fails after its first block: the pump's later writes are
        // dropped and it reads the source to its end without waiting.
        PumpedRun run(MakePcm(Signal::Music, 200000), 1 << 22);
        run.output.failAtBlock = 1;
        run.Start();
        OutputRunner runner(run.output);
        ASSERT_TRUE(runner.RunAndWait(std::chrono::seconds(30)));
        run.pump->Wait();
        EXPECT_EQ(runner.errorCount, 1);
        EXPECT_EQ(run.finished, 1);
        EXPECT_EQ(run.source.closeCount, 1);
    }
}
