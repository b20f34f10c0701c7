#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/core/output.h"

namespace sonfeld::test {

// Binds an output's events and waits for the end of a run.
// Event handlers run on the worker; everything they record is under a mutex.
class OutputRunner {
public:
    explicit OutputRunner(TACSOutput& output) : output_(output)
    {
        output_.OnDone = [this](TComponent*) {
            std::lock_guard lock(mutex_);
            ++doneCount;
            doneThread = std::this_thread::get_id();
            changed_.notify_all();
        };
        output_.OnThreadException = [this](TComponent*, const std::exception& e) {
            std::lock_guard lock(mutex_);
            ++errorCount;
            errors.emplace_back(e.what());
            errorThread = std::this_thread::get_id();
            changed_.notify_all();
        };
        output_.OnProgress = [this, &output](TComponent*) {
            std::lock_guard lock(mutex_);
            progress.push_back(output.Progress());
        };
    }

    ~OutputRunner()
    {
        output_.OnDone = nullptr;
        output_.OnThreadException = nullptr;
        output_.OnProgress = nullptr;
    }

    // Runs the output and waits for OnDone or OnThreadException.
    // Returns false when neither came within the time limit.
    bool RunAndWait(std::chrono::seconds limit = std::chrono::seconds(120))
    {
        const int before = Ends();
        output_.Run();
        return WaitForEnds(before + 1, limit);
    }

    bool WaitForEnds(int count, std::chrono::seconds limit = std::chrono::seconds(120))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return doneCount + errorCount >= count; });
    }

    int Ends()
    {
        std::lock_guard lock(mutex_);
        return doneCount + errorCount;
    }

    std::string LastError()
    {
        std::lock_guard lock(mutex_);
        return errors.empty() ? std::string() : errors.back();
    }

    std::mutex mutex_;
    int doneCount = 0;
    int errorCount = 0;
    std::vector<std::string> errors;
    std::vector<int> progress;
    std::thread::id doneThread;
    std::thread::id errorThread;

private:
    TACSOutput& output_;
    std::condition_variable changed_;
};

} // namespace sonfeld::test
