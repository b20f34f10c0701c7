#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "frame_encoder.h"

namespace sonfeld::ape {

// Encodes frames on worker threads while the caller fills the next ones, and
// hands them back in the order they were submitted. Frames share no state,
// so each one's bytes are what a single encoder would produce; packing them,
// the seek table and the MD5 stay with the caller, in order.
//
// The frames live in a ring of twice as many buffers as workers: the caller
// fills the current buffer, submits it, and takes encoded frames back oldest
// first, which frees their buffers. Memory therefore stays bounded whatever
// the input length. All calls but the workers' own come from one thread.
class FramePipeline {
public:
    struct Encoded {
        int error = 0; // a library error code; the bytes are empty then
        std::span<const std::uint8_t> bytes;
        std::uint32_t blocks = 0;
    };

    // Starts workers threads. Throws std::bad_alloc or std::system_error;
    // workers started before the failure are joined first.
    FramePipeline(int level, int channels, int bitsPerSample, std::uint32_t blocksPerFrame,
                  unsigned workers);
    // Drops the frames not taken back and joins the workers.
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // The worker count to use when the caller does not choose: the
    // SONFELD_APE_THREADS environment variable when set to a positive number
    // (1 selects the single-threaded compressor), otherwise the processor
    // count, at least 1 and at most kMaxWorkers.
    static unsigned DefaultWorkers();
    static constexpr unsigned kMaxWorkers = 8;

    // The PCM buffer to fill next, one frame long. Only valid when HasRoom().
    std::uint8_t* Buffer();
    bool HasRoom() const { return submitted_ - released_ < slots_.size(); }
    // Frames submitted and not yet released.
    bool Pending() const { return released_ < submitted_; }

    // Queues the current buffer as a frame of blocks blocks.
    void Submit(std::uint32_t blocks);
    // The oldest pending frame once it is encoded: waits for it when wait is
    // set, otherwise returns nothing if it is not done yet. The bytes stay
    // valid until ReleaseOldest.
    std::optional<Encoded> Oldest(bool wait);
    void ReleaseOldest();

private:
    struct Slot {
        std::vector<std::uint8_t> pcm;
        std::vector<std::uint8_t> frame;
        std::uint32_t blocks = 0;
        int error = 0;
        bool done = false;
    };

    void Work(FrameEncoder& encoder);
    void Stop();

    std::vector<Slot> slots_;
    std::vector<std::unique_ptr<FrameEncoder>> encoders_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable queued_;  // workers: a frame to take, or stop
    std::condition_variable encoded_; // caller: a frame is done
    std::uint64_t submitted_ = 0;     // written by the caller under the lock
    std::uint64_t taken_ = 0;         // frames taken by workers; under the lock
    std::uint64_t released_ = 0;      // the caller's own
    bool stopping_ = false;
};

} // namespace sonfeld::ape
