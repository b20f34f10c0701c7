#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "audio/core/acs_exception.h"
#include "audio/core/output.h"

namespace sonfeld::test {

// An output that keeps what it reads in memory and counts what the pipeline
// asks of it, so the pipeline's own behaviour can be watched.
class TRecordingOutput final : public TACSOutput {
public:
    using TACSOutput::TACSOutput;
    ~TRecordingOutput() override { DestroyWorker(); }

    std::vector<std::uint8_t> Data()
    {
        std::lock_guard lock(mutex_);
        return data_;
    }

    std::atomic<int> prepareCount{0};
    std::atomic<int> finishCount{0};
    std::atomic<int> blockCalls{0};
    std::atomic<bool> failPrepare{false};
    std::atomic<bool> openThenFail{false};
    std::atomic<bool> openThenThrowInt{false}; // a failure that is not a std::exception
    std::atomic<long long> failAtBlock{-1};
    int blockBytes = 4096;
    std::function<void()> duringBlock; // called on the worker inside each read cycle

protected:
    void PrepareOutput() override
    {
        ++prepareCount;
        if (failPrepare)
            throw EACSException("prepare failed");
        Input()->OpenInput();
        if (openThenFail)
            throw EACSException("prepare failed after opening the input");
        if (openThenThrowInt)
            throw 42; // NOLINT(hicpp-exception-baseclass): what a foreign library might do
        std::lock_guard lock(mutex_);
        data_.clear();
        ended_ = false;
        blocks_ = 0;
    }

    bool OutputBlock(bool abort) override
    {
        ++blockCalls;
        if (!CanOutput.load())
            return true;
        ReportProgress();
        if (abort || ended_)
            return false;
        if (failAtBlock >= 0 && blocks_++ == failAtBlock)
            throw EACSException("block failed");
        if (duringBlock)
            duringBlock();
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(blockBytes));
        const int n = ReadInput(buffer.data(), blockBytes);
        if (n == 0)
            return false;
        std::lock_guard lock(mutex_);
        data_.insert(data_.end(), buffer.begin(), buffer.begin() + n);
        return true;
    }

    void FinishOutput() override
    {
        ++finishCount;
        CloseInputOfRun();
    }

private:
    std::mutex mutex_;
    std::vector<std::uint8_t> data_;
    bool ended_ = false;
    long long blocks_ = 0;
};

} // namespace sonfeld::test
