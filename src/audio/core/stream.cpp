#include "stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "acs_exception.h"

namespace sonfeld {

namespace {

constexpr std::size_t kWriteGather = 64 * 1024;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

void TStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (Read(buffer, count) != count)
        throw EReadFailed("Stream read error");
}

void TStream::WriteUInt16(std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value),
                                   static_cast<std::uint8_t>(value >> 8)};
    Write(bytes, 2);
}

void TStream::WriteUInt32(std::uint32_t value)
{
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    Write(bytes, 4);
}

TFileStream::TFileStream(std::string fileName, Mode mode) : fileName_(std::move(fileName))
{
    int flags = O_CLOEXEC;
    switch (mode) {
    // Never written through a link planted under the name: it would lead the
    // output out of its folder.
    case Mode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
    case Mode::OpenRead: flags |= O_RDONLY; break;
    case Mode::OpenReadWrite: flags |= O_RDWR; break;
    }
    do {
        fd_ = ::open(fileName_.c_str(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        const int error = errno;
        const std::string text =
            (mode == Mode::Create ? "Cannot create file " : "Cannot open file ") +
            Quoted(fileName_) + ". " + std::strerror(error);
        if (mode == Mode::OpenRead)
            throw EReadFailed(text);
        throw EWriteFailed(text);
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        const std::string text =
            "Cannot open file " + Quoted(fileName_) + ". " + std::strerror(EISDIR);
        if (mode == Mode::OpenRead)
            throw EReadFailed(text);
        throw EWriteFailed(text);
    }
}

TFileStream::~TFileStream()
{
    if (fd_ < 0)
        return;
    try {
        Flush();
    } catch (const EACSException&) {
        // The owner that cares about a lost write calls Close() and sees it there.
    }
    ::close(fd_);
}

void TFileStream::Fail(const char* what, int error) const
{
    const std::string text = std::string(what) + Quoted(fileName_) + ". " + std::strerror(error);
    if (std::strncmp(what, "Cannot read", 11) == 0)
        throw EReadFailed(text);
    throw EWriteFailed(text);
}

void TFileStream::Flush()
{
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            pending_.clear();
            Fail("Cannot write to file ", error);
        }
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
}

void TFileStream::Close()
{
    if (fd_ < 0)
        return;
    try {
        Flush();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0 && errno != EINTR)
        Fail("Cannot write to file ", errno);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count)
{
    Flush();
    std::size_t done = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail("Cannot read from file ", errno);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void TFileStream::Write(const void* buffer, std::size_t count)
{
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (pending_.size() + count > kWriteGather)
        Flush();
    if (count >= kWriteGather) {
        pending_.assign(bytes, bytes + count);
        Flush();
        return;
    }
    pending_.insert(pending_.end(), bytes, bytes + count);
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    if (origin == SeekOrigin::Current && offset == 0 && !pending_.empty()) {
        const off_t base = ::lseek(fd_, 0, SEEK_CUR);
        if (base < 0)
            Fail("Cannot seek in file ", errno);
        return base + static_cast<std::int64_t>(pending_.size());
    }
    Flush();
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0)
        Fail("Cannot seek in file ", errno);
    return result;
}

std::int64_t TFileStream::Size()
{
    Flush();
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        Fail("Cannot read from file ", errno);
    if (S_ISREG(info.st_mode))
        return info.st_size;
    // Devices have no size of their own; the position tells how much was written.
    return std::max<std::int64_t>(0, ::lseek(fd_, 0, SEEK_CUR));
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count)
{
    if (position_ >= data_.size() || count == 0)
        return 0;
    const std::size_t n = std::min(count, data_.size() - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return;
    if (position_ + count > data_.size())
        data_.resize(position_ + count);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ += count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    const std::int64_t base = origin == SeekOrigin::Begin ? 0
                              : origin == SeekOrigin::Current
                                  ? static_cast<std::int64_t>(position_)
                                  : static_cast<std::int64_t>(data_.size());
    position_ = static_cast<std::size_t>(std::max<std::int64_t>(0, base + offset));
    return static_cast<std::int64_t>(position_);
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

} // namespace sonfeld
