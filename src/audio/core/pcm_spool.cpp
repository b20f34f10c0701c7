#include "audio/core/pcm_spool.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace sonfeld {

bool SpoolBudget::TryTake(std::size_t bytes)
{
    std::size_t used = inUse_.load();
    do {
        if (bytes > limit_ || used > limit_ - bytes)
            return false;
    } while (!inUse_.compare_exchange_weak(used, used + bytes));
    NotePeak(used + bytes);
    return true;
}

bool SpoolBudget::TakeWhenRoom(std::size_t bytes, const std::function<bool()>& giveUp)
{
    std::unique_lock lock(mutex_);
    bool taken = false;
    changed_.wait(lock, [&] {
        if (giveUp())
            return true;
        if (TryTake(bytes)) {
            taken = true;
            return true;
        }
        // Too large for the whole budget: it passes alone, or never would.
        std::size_t idle = 0;
        if (bytes > limit_ && inUse_.compare_exchange_strong(idle, bytes)) {
            NotePeak(bytes);
            taken = true;
            return true;
        }
        return false;
    });
    return taken;
}

void SpoolBudget::Give(std::size_t bytes)
{
    inUse_.fetch_sub(bytes);
    Wake();
}

void SpoolBudget::Wake()
{
    // Taking the lock orders this after a waiter's check, so no wake is lost.
    {
        const std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

void SpoolBudget::NotePeak(std::size_t used)
{
    std::size_t peak = peak_.load();
    while (used > peak && !peak_.compare_exchange_weak(peak, used)) {
    }
}

PcmSpool::PcmSpool(SpoolBudget& budget, std::filesystem::path spillFile)
    : budget_(budget), spillFile_(std::move(spillFile))
{
}

PcmSpool::~PcmSpool()
{
    for (const Piece& piece : pieces_)
        budget_.Give(piece.bytes.size());
    if (spill_.is_open()) {
        spill_.close();
        std::error_code ignored;
        std::filesystem::remove(spillFile_, ignored);
    }
}

void PcmSpool::Write(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || writerStopped_)
        return;
    if (budget_.Overflow() == SpoolOverflow::WaitForRoom && !spillWhenFull_) {
        if (!budget_.TakeWhenRoom(
                size, [this] { return cancelled_ || writerStopped_ || spillWhenFull_; })) {
            if (cancelled_ || writerStopped_)
                return;
            // Told to spill while it waited: the piece goes the spilling way below.
            WriteSpilling(data, size);
            return;
        }
        std::lock_guard lock(mutex_);
        if (cancelled_ || finished_ || !failure_.empty()) {
            budget_.Give(size);
            return;
        }
        Piece piece;
        piece.bytes.assign(data, data + size);
        piece.size = size;
        pieces_.push_back(std::move(piece));
        written_ += size;
        changed_.notify_all();
        return;
    }
    WriteSpilling(data, size);
}

void PcmSpool::SpillWhenFull()
{
    spillWhenFull_ = true;
    budget_.Wake();
}

void PcmSpool::WriteSpilling(const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    if (cancelled_ || finished_ || !failure_.empty())
        return;
    // Once spilling began, everything goes to the file, or the order would mix.
    if (spilled_ == 0 && budget_.TryTake(size)) {
        Piece piece;
        piece.bytes.assign(data, data + size);
        piece.size = size;
        pieces_.push_back(std::move(piece));
    } else {
        SpillLocked(data, size);
    }
    written_ += size;
    changed_.notify_all();
}

void PcmSpool::SpillLocked(const std::uint8_t* data, std::size_t size)
{
    if (!spill_.is_open()) {
        // Created new, never through a link planted under the name, so the
        // spill stays in its folder; a stale file of the same name goes first.
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 3; ++attempt) {
            fd = ::open(spillFile_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
            if (fd < 0 && (errno != EEXIST || ::unlink(spillFile_.c_str()) != 0))
                break;
        }
        if (fd >= 0) {
            ::close(fd);
            spill_.open(spillFile_, std::ios::in | std::ios::out | std::ios::binary);
        }
        if (fd < 0 || !spill_) {
            failure_ = "Cannot create file \"" + spillFile_.string() + "\". " +
                       std::generic_category().message(errno);
            changed_.notify_all();
            throw std::runtime_error(failure_);
        }
    }
    spill_.seekp(static_cast<std::streamoff>(spillEnd_));
    spill_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    spill_.flush();
    if (!spill_) {
        failure_ = "Cannot write to file \"" + spillFile_.string() + "\".";
        changed_.notify_all();
        throw std::runtime_error(failure_);
    }
    Piece piece;
    piece.fileOffset = spillEnd_;
    piece.size = size;
    pieces_.push_back(std::move(piece));
    spillEnd_ += size;
    spilled_ += size;
}

void PcmSpool::Finish()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void PcmSpool::Fail(const std::string& reason)
{
    std::lock_guard lock(mutex_);
    if (failure_.empty())
        failure_ = reason.empty() ? std::string("The reading of the track failed.") : reason;
    changed_.notify_all();
}

void PcmSpool::Cancel()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        changed_.notify_all();
    }
    budget_.Wake();
}

void PcmSpool::StopWriting()
{
    writerStopped_ = true;
    budget_.Wake();
}

std::size_t PcmSpool::ReadPieceLocked(Piece& piece, std::uint8_t* data, std::size_t size)
{
    const std::size_t count = std::min(size, piece.size - piece.consumed);
    if (!piece.bytes.empty()) {
        std::memcpy(data, piece.bytes.data() + piece.consumed, count);
    } else {
        spill_.seekg(static_cast<std::streamoff>(piece.fileOffset + piece.consumed));
        spill_.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(count));
        if (static_cast<std::size_t>(spill_.gcount()) != count) {
            failure_ = "Cannot read from file \"" + spillFile_.string() + "\".";
            spill_.clear();
            throw std::runtime_error(failure_);
        }
    }
    piece.consumed += count;
    return count;
}

std::size_t PcmSpool::Read(std::uint8_t* data, std::size_t size)
{
    std::unique_lock lock(mutex_);
    changed_.wait(
        lock, [this] { return !pieces_.empty() || finished_ || cancelled_ || !failure_.empty(); });
    if (cancelled_)
        throw std::runtime_error("The reading of the track was cancelled.");
    if (!failure_.empty())
        throw std::runtime_error(failure_);
    std::size_t done = 0;
    while (done < size && !pieces_.empty()) {
        Piece& piece = pieces_.front();
        done += ReadPieceLocked(piece, data + done, size - done);
        if (piece.consumed == piece.size) {
            budget_.Give(piece.bytes.size());
            pieces_.pop_front();
        }
    }
    return done;
}

std::uint64_t PcmSpool::BytesWritten() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

std::uint64_t PcmSpool::BytesSpilled() const
{
    std::lock_guard lock(mutex_);
    return spilled_;
}

bool PcmSpool::Finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

} // namespace sonfeld
