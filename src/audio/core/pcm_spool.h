#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sonfeld {

// What a spool does with a piece that does not fit in the budget.
enum class SpoolOverflow {
    // Keeps it in a file on disk, so a reader that must never wait (a drive,
    // whose re-reads are slow and whose pauses cost spin-ups) goes on at once.
    SpillToFile,
    // Waits until the encoders have taken enough: for a source that can be
    // read again at any pace (an image file), memory stays bounded and nothing
    // is written to disk twice, unless a spool is told to spill when full
    // (an encoder would otherwise wait for the reader to reach its track).
    WaitForRoom,
};

// The memory that all spools of one rip may hold together. Past it, a spool
// keeps what it is given in a file on disk instead, or waits for room, as the
// overflow says; either way it never takes more memory than this (a single
// piece larger than the whole budget passes when nothing else is held).
class SpoolBudget {
public:
    explicit SpoolBudget(std::size_t limitBytes,
                         SpoolOverflow overflow = SpoolOverflow::SpillToFile)
        : limit_(limitBytes), overflow_(overflow)
    {
    }

    // Takes bytes from the budget when they fit; false leaves it unchanged.
    bool TryTake(std::size_t bytes);
    // Waits until the bytes fit and takes them; false, with nothing taken,
    // once giveUp() is true (checked whenever the budget changes or Wake is called).
    bool TakeWhenRoom(std::size_t bytes, const std::function<bool()>& giveUp);
    void Give(std::size_t bytes);
    // Makes every TakeWhenRoom look at its giveUp again.
    void Wake();
    std::size_t InUse() const { return inUse_.load(); }
    // The most the budget held at once.
    std::size_t Peak() const { return peak_.load(); }
    std::size_t Limit() const { return limit_; }
    SpoolOverflow Overflow() const { return overflow_; }

private:
    void NotePeak(std::size_t used);

    const std::size_t limit_;
    const SpoolOverflow overflow_;
    std::atomic<std::size_t> inUse_{0};
    std::atomic<std::size_t> peak_{0};
    std::mutex mutex_; // only for the waiters
    std::condition_variable changed_;
};

// A one-way PCM queue between one writer thread (the disc reader) and one
// reader thread (an encoder). Writes never block: a piece goes to memory while
// the budget allows and to the spill file otherwise. Reads block until data
// arrives, the writer finishes, or either side gives up. The spill file lives
// in the folder given (the rip's target folder, so it is on the same disk as
// the result) and is removed when the spool is destroyed.
class PcmSpool {
public:
    PcmSpool(SpoolBudget& budget, std::filesystem::path spillFile);
    ~PcmSpool();
    PcmSpool(const PcmSpool&) = delete;
    PcmSpool& operator=(const PcmSpool&) = delete;

    // Writer side. Write raises std::runtime_error naming the spill file when
    // it cannot be written (a full disk); the spool is failed then. With a
    // budget that waits for room, Write waits for the reader (or any other
    // spool's) to take enough; Cancel and StopWriting end the wait.
    void Write(const std::uint8_t* data, std::size_t size);
    // From now on a piece that finds the budget full goes to the spill file
    // instead of waiting, and a waiting Write spills its piece: for a reader
    // that would otherwise leave an encoder idle. Callable from any thread.
    void SpillWhenFull();
    // The writer stops: a waiting Write returns, later writes are dropped.
    // Callable from any thread.
    void StopWriting();
    void Finish();
    void Fail(const std::string& reason);

    // Reader side: up to size bytes; 0 once everything written was read and
    // the writer finished. Raises std::runtime_error with the writer's reason
    // after Fail, and after Cancel.
    std::size_t Read(std::uint8_t* data, std::size_t size);
    // The reader gives up: later writes are dropped, a waiting read returns.
    void Cancel();

    std::uint64_t BytesWritten() const;
    std::uint64_t BytesSpilled() const;
    bool Finished() const;
    const std::filesystem::path& SpillFile() const { return spillFile_; }

private:
    struct Piece {
        std::vector<std::uint8_t> bytes; // empty for a piece kept in the spill file
        std::uint64_t fileOffset = 0;
        std::size_t size = 0;
        std::size_t consumed = 0;
    };

    // Memory while the budget allows and nothing was spilled yet, else the file.
    void WriteSpilling(const std::uint8_t* data, std::size_t size);
    void SpillLocked(const std::uint8_t* data, std::size_t size);
    std::size_t ReadPieceLocked(Piece& piece, std::uint8_t* data, std::size_t size);

    SpoolBudget& budget_;
    const std::filesystem::path spillFile_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Piece> pieces_;
    std::fstream spill_;
    std::uint64_t spillEnd_ = 0;
    std::uint64_t written_ = 0;
    std::uint64_t spilled_ = 0;
    bool finished_ = false;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> writerStopped_{false};
    std::atomic<bool> spillWhenFull_{false};
    std::string failure_;
};

} // namespace sonfeld
