#include "frame_pipeline.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "audio/core/vector_state.h"
#include "mac_library_api.h"

namespace sonfeld::ape {

unsigned FramePipeline::DefaultWorkers()
{
    // Read at every Start, before any worker exists; nothing in the library
    // writes the environment.
    if (const char* chosen = std::getenv("SONFELD_APE_THREADS")) {
        char* end = nullptr;
        const long value = std::strtol(chosen, &end, 10);
        if (end != chosen && *end == '\0' && value > 0)
            return static_cast<unsigned>(std::min<long>(value, kMaxWorkers));
    }
    // More workers than this only add memory: one caller packs and writes
    // every frame, and it is much faster than an encoder but not unboundedly.
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
}

FramePipeline::FramePipeline(int level, int channels, int bitsPerSample,
                             std::uint32_t blocksPerFrame, unsigned workers)
{
    workers = std::max(workers, 1u);
    const std::size_t frameBytes =
        static_cast<std::size_t>(blocksPerFrame) * channels * (bitsPerSample / 8);
    slots_.resize(2 * static_cast<std::size_t>(workers));
    for (Slot& slot : slots_)
        slot.pcm.assign(frameBytes, 0);
    for (unsigned i = 0; i < workers; ++i)
        encoders_.push_back(
            std::make_unique<FrameEncoder>(level, channels, bitsPerSample, blocksPerFrame));
    try {
        for (unsigned i = 0; i < workers; ++i)
            threads_.emplace_back([this, i] { Work(*encoders_[i]); });
    } catch (...) {
        Stop();
        throw;
    }
}

FramePipeline::~FramePipeline()
{
    Stop();
}

void FramePipeline::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
}

void FramePipeline::Work(FrameEncoder& encoder)
{
    ClearVectorState();
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || taken_ < submitted_; });
        if (stopping_)
            return;
        Slot& slot = slots_[taken_++ % slots_.size()];
        lock.unlock();
        int error = 0;
        try {
            const auto bytes = encoder.Encode(slot.pcm.data(), slot.blocks);
            slot.frame.assign(bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            error = APE_ERROR_INSUFFICIENT_MEMORY;
        }
        lock.lock();
        slot.error = error;
        slot.done = true;
        encoded_.notify_one();
    }
}

std::uint8_t* FramePipeline::Buffer()
{
    return slots_[submitted_ % slots_.size()].pcm.data();
}

void FramePipeline::Submit(std::uint32_t blocks)
{
    {
        const std::lock_guard lock(mutex_);
        Slot& slot = slots_[submitted_ % slots_.size()];
        slot.blocks = blocks;
        slot.done = false;
        ++submitted_;
    }
    queued_.notify_one();
}

std::optional<FramePipeline::Encoded> FramePipeline::Oldest(bool wait)
{
    Slot& slot = slots_[released_ % slots_.size()];
    std::unique_lock lock(mutex_);
    if (wait)
        encoded_.wait(lock, [&slot] { return slot.done; });
    else if (!slot.done)
        return std::nullopt;
    Encoded encoded;
    encoded.error = slot.error;
    if (slot.error == 0)
        encoded.bytes = slot.frame;
    encoded.blocks = slot.blocks;
    return encoded;
}

void FramePipeline::ReleaseOldest()
{
    ++released_;
}

} // namespace sonfeld::ape
