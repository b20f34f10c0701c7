#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/core/input.h"

namespace sonfeld::test {

// A PCM input that hands out bytes held in memory. It can report its size or
// not (-1), cap each ReadPCM to a few bytes to exercise short reads, and fail
// after a number of bytes as a damaged source would. A gate holds the reader
// at a byte count until the test opens it, so a test can stop a run while it
// is surely in the middle, whatever the scheduler does.
class TMemoryInput : public TACSInput {
public:
    explicit TMemoryInput(std::vector<std::uint8_t> pcm, int sampleRate = 44100, int channels = 2,
                          int bitsPerSample = 16)
        : pcm_(std::move(pcm)), sampleRate_(sampleRate), channels_(channels), bits_(bitsPerSample)
    {
    }
    ~TMemoryInput() override
    {
        OpenGate();
        DetachFromReaders();
    }
    TMemoryInput(const TMemoryInput&) = delete;
    TMemoryInput& operator=(const TMemoryInput&) = delete;

    int GetBitsPerSample() override { return bits_; }
    int GetChannels() override { return channels_; }
    int GetSampleRate() override { return sampleRate_; }

    void OpenInput() override
    {
        if (Busy())
            throw EACSException("The component is buisy");
        ++openCount;
        offset_ = 0;
        size_.store(reportSize ? static_cast<std::int64_t>(pcm_.size()) : -1);
        busy_.store(true);
        position_.store(0);
    }

    void CloseInput() override
    {
        ++closeCount;
        busy_.store(false);
    }

    int ReadPCM(void* buffer, int bufferSize) override
    {
        if (holdAt >= 0 && offset_ >= static_cast<std::size_t>(holdAt))
            WaitAtGate();
        if (failAfter >= 0 && offset_ >= static_cast<std::size_t>(failAfter))
            throw EACSException("Simulated read failure");
        std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(bufferSize), pcm_.size() - offset_);
        if (maxChunk > 0)
            n = std::min<std::size_t>(n, static_cast<std::size_t>(maxChunk));
        if (failAfter >= 0)
            n = std::min<std::size_t>(n, static_cast<std::size_t>(failAfter) - offset_);
        if (holdAt >= 0 && offset_ < static_cast<std::size_t>(holdAt))
            n = std::min<std::size_t>(n, static_cast<std::size_t>(holdAt) - offset_);
        std::copy_n(pcm_.data() + offset_, n, static_cast<std::uint8_t*>(buffer));
        offset_ += n;
        position_.fetch_add(static_cast<std::int64_t>(n));
        ++readCount;
        return static_cast<int>(n);
    }

    bool reportSize = true;   // false: Size is -1
    int maxChunk = 0;         // >0: no ReadPCM hands out more than this
    long long failAfter = -1; // >=0: ReadPCM raises once this many bytes went out
    std::atomic<int> openCount{0};
    std::atomic<int> closeCount{0};
    std::atomic<int> readCount{0};
    // >=0: once this many bytes went out, ReadPCM waits until OpenGate.
    long long holdAt = -1;

    // Waits until a reader is held at the gate.
    void WaitUntilHeld()
    {
        std::unique_lock lock(gateMutex_);
        gateChanged_.wait(lock, [this] { return held_ || gateOpen_; });
    }

    void OpenGate()
    {
        std::lock_guard lock(gateMutex_);
        gateOpen_ = true;
        gateChanged_.notify_all();
    }

private:
    void WaitAtGate()
    {
        std::unique_lock lock(gateMutex_);
        held_ = true;
        gateChanged_.notify_all();
        gateChanged_.wait(lock, [this] { return gateOpen_; });
    }

    std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    bool held_ = false;
    bool gateOpen_ = false;

    std::vector<std::uint8_t> pcm_;
    std::size_t offset_ = 0;
    int sampleRate_;
    int channels_;
    int bits_;
};

} // namespace sonfeld::test
