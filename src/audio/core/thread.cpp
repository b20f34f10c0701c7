#include "thread.h"

#include "vector_state.h"

namespace sonfeld {

namespace {

// Threads that free themselves signal the end of their body here, so a waiter
// can block instead of spinning.
std::mutex finishedMutex;
std::condition_variable finishedChanged;

} // namespace

TThread::TThread(bool createSuspended)
    : suspended_(createSuspended), finished_(std::make_shared<std::atomic<bool>>(false))
{
    // The body takes the same lock first, so it cannot run before thread_ is set.
    std::lock_guard lock(mutex_);
    thread_ = std::thread([this] { Body(); });
}

TThread::~TThread()
{
    // A thread that frees itself deletes this object on its own stack.
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TThread::Body()
{
    ClearVectorState();
    {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return !suspended_.load(); });
    }
    try {
        Execute();
    } catch (...) {
        // An error that escapes the body ends the thread, as nothing could report it.
    }
    const auto finished = finished_;
    if (freeOnTerminate_.load()) {
        // Waits out a Resume() that may still hold the lock and the condition.
        {
            std::lock_guard lock(mutex_);
        }
        delete this;
    }
    // Notified under the lock, so a waiter cannot return (and the program end)
    // while this thread still touches the condition variable.
    std::lock_guard lock(finishedMutex);
    finished->store(true);
    finishedChanged.notify_all();
}

void TThread::Resume()
{
    // Notified under the lock: a thread that frees itself may be gone as soon
    // as the lock is released.
    std::lock_guard lock(mutex_);
    suspended_.store(false);
    wake_.notify_all();
}

void TThread::Suspend(const std::function<bool()>& stayAwake)
{
    std::unique_lock lock(mutex_);
    if (stayAwake && stayAwake())
        return;
    suspended_.store(true);
    wake_.wait(lock, [this] { return !suspended_.load(); });
}

void TThread::WaitFinished(const std::shared_ptr<const std::atomic<bool>>& flag)
{
    std::unique_lock lock(finishedMutex);
    finishedChanged.wait(lock, [&flag] { return flag->load(); });
}

} // namespace sonfeld
