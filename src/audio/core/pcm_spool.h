#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sonfeld {

// The memory that all spools of one rip may hold together. Past it, a spool
// keeps what it is given in a file on disk instead, so a fast reader never
// waits for slow encoders and never takes more memory than this.
class SpoolBudget {
public:
    explicit SpoolBudget(std::size_t limitBytes) : limit_(limitBytes) {}

    // Takes bytes from the budget when they fit; false leaves it unchanged.
    bool TryTake(std::size_t bytes);
    void Give(std::size_t bytes);
    std::size_t InUse() const { return inUse_.load(); }
    std::size_t Limit() const { return limit_; }

private:
    const std::size_t limit_;
    std::atomic<std::size_t> inUse_{0};
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
    // it cannot be written (a full disk); the spool is failed then.
    void Write(const std::uint8_t* data, std::size_t size);
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
    bool cancelled_ = false;
    std::string failure_;
};

} // namespace sonfeld
