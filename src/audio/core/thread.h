#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace sonfeld {

// A worker thread that can be created suspended, resumed from another thread,
// suspend itself from inside its body, and free itself when its body ends.
// It is never killed: a body ends only by returning.
class TThread {
public:
    // With createSuspended the body waits for the first Resume().
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // When set before the body ends, the object deletes itself after Execute
    // returns; nobody may touch it after that. Otherwise the owner deletes it,
    // which waits for the body to end.
    void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }

    // Any thread: lets a suspended thread go on. Does nothing otherwise.
    void Resume();
    // Any thread: true while the body waits in Suspend() or for its first Resume().
    bool Suspended() const { return suspended_.load(); }
    // Any thread: true once Execute has returned.
    bool Finished() const { return finished_->load(); }

    // A flag that becomes true after the body ended and, with free-on-terminate,
    // after the object was deleted. It outlives the thread object.
    std::shared_ptr<const std::atomic<bool>> FinishedFlag() const { return finished_; }
    // Waits until the body has ended (and the object is gone, when it frees itself).
    static void WaitFinished(const std::shared_ptr<const std::atomic<bool>>& flag);

protected:
    virtual void Execute() = 0;

    // Body only: waits until another thread calls Resume(). When stayAwake is
    // given, it is evaluated under the same lock as Resume(), and a true result
    // cancels the suspension; this closes the gap between deciding to sleep and
    // sleeping, in which a resume could otherwise be missed.
    void Suspend(const std::function<bool()>& stayAwake = {});

private:
    void Body();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> suspended_;
    std::atomic<bool> freeOnTerminate_{false};
    std::shared_ptr<std::atomic<bool>> finished_;
    std::thread thread_;
};

} // namespace sonfeld
