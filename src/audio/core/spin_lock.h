#pragma once

#include <atomic>
#include <thread>

namespace sonfeld {

// The lock an output or a converter holds around each read of its input, so
// the input can be swapped or dropped between two reads. It is held only for
// the length of one read, so waiting spins (with yields) instead of sleeping.
// Meets the standard Lockable requirements (std::lock_guard works).
class TSpinLock {
public:
    void lock()
    {
        while (held_.exchange(true, std::memory_order_acquire))
            std::this_thread::yield();
    }
    bool try_lock() { return !held_.exchange(true, std::memory_order_acquire); }
    void unlock() { held_.store(false, std::memory_order_release); }
    bool Held() const { return held_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> held_{false};
};

} // namespace sonfeld
