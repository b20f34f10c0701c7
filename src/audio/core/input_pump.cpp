#include "audio/core/input_pump.h"

#include <exception>
#include <vector>

#include "audio/core/input.h"
#include "audio/core/pcm_spool.h"
#include "audio/core/vector_state.h"

namespace sonfeld {

namespace {
// A CD sector holds 2352 bytes; whole sectors keep the drive's reads aligned.
constexpr int kBlockBytes = 2352 * 16;
} // namespace

TInputPump::TInputPump(TACSInput& source, PcmSpool& spool, TFinished finished)
    : source_(source), spool_(spool), finished_(std::move(finished))
{
}

TInputPump::~TInputPump()
{
    Stop();
    Wait();
}

void TInputPump::Start()
{
    source_.OpenInput();
    size_.store(source_.Size());
    thread_ = std::thread([this] { Run(); });
}

void TInputPump::Stop()
{
    stop_.store(true);
    // A write waiting for the encoders to make room must not hold the stop up.
    spool_.StopWriting();
}

void TInputPump::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

void TInputPump::Run()
{
    ClearVectorState();
    std::vector<std::uint8_t> block(kBlockBytes);
    std::string error;
    bool ok = false;
    try {
        for (;;) {
            if (stop_.load())
                break;
            const int count = source_.ReadPCM(block.data(), kBlockBytes);
            if (count <= 0) {
                ok = true;
                break;
            }
            spool_.Write(block.data(), static_cast<std::size_t>(count));
            position_.fetch_add(count);
        }
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "The source failed.";
    }
    try {
        source_.CloseInput();
    } catch (const std::exception& e) {
        if (ok) {
            ok = false;
            error = e.what();
        }
    }
    if (ok)
        spool_.Finish();
    else
        spool_.Fail(error.empty() ? std::string("Stopped.") : error);
    if (finished_)
        finished_(ok, error);
}

} // namespace sonfeld
