#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace sonfeld {

class PcmSpool;
class TACSInput;

// Reads a PCM source to its end on a thread of its own and writes what it
// reads into a spool, so the source (a drive) never waits for the encoder
// that empties the spool at its own pace.
//
// Threads: Start and Stop on the owner's thread; Finished runs on the pump's
// thread once the source is closed again; Position and Size from anywhere.
class TInputPump {
public:
    // ok is false when the source failed or the pump was stopped; error is
    // empty when it was stopped.
    using TFinished = std::function<void(bool ok, const std::string& error)>;

    TInputPump(TACSInput& source, PcmSpool& spool, TFinished finished);
    // Stops and waits for the thread.
    ~TInputPump();
    TInputPump(const TInputPump&) = delete;
    TInputPump& operator=(const TInputPump&) = delete;

    // Opens the source on this thread, so a source that refuses to start
    // raises here, and starts reading. Once only.
    void Start();
    // The read ends at the next block; the spool fails with "Stopped.". The
    // source is closed on the pump's thread before Finished runs.
    void Stop();
    // Waits until the pump's thread has ended.
    void Wait();

    // Bytes read so far, and the source's size for this read (-1 when unknown).
    std::int64_t Position() const { return position_.load(); }
    std::int64_t Size() const { return size_.load(); }

private:
    void Run();

    TACSInput& source_;
    PcmSpool& spool_;
    TFinished finished_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> position_{0};
    std::atomic<std::int64_t> size_{-1};
};

} // namespace sonfeld
