#include "folder_lock.h"

#include <QCoreApplication>
#include <QLockFile>

#include "local_path.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <utility>

namespace sonfeld::app {

TFolderLock::TFolderLock() = default;

TFolderLock::~TFolderLock()
{
    Unlock();
}

TFolderLock::TFolderLock(TFolderLock&& other) noexcept
{
    *this = std::move(other);
}

#ifdef Q_OS_UNIX

TFolderLock::TResult TFolderLock::Lock(const QString& lockFile)
{
    Unlock();
    const std::filesystem::path path = FileSystemPath(lockFile);
    // The program before us may remove the file between our open and our
    // lock: the lock counts only when it is on the file under the name.
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Never through a link: a link planted under our name would make us
        // write into whatever file it points at.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0)
            continue;
        if (fd < 0)
            return TResult::Failed;
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return TResult::Failed;
        }
        if (opened.st_nlink > 1) {
            // A hard link to another file: that file is not ours to write.
            ::close(fd);
            if (::unlink(path.c_str()) != 0)
                return TResult::Failed;
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool inUse = errno == EWOULDBLOCK;
            ::close(fd);
            return inUse ? TResult::InUse : TResult::Failed;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            // Who holds it, for a person who finds the file; the lock holds
            // without it.
            const std::string owner = std::to_string(QCoreApplication::applicationPid()) + "\n";
            if (::ftruncate(fd, 0) == 0) {
                [[maybe_unused]] const ssize_t written = ::write(fd, owner.data(), owner.size());
            }
            fd_ = fd;
            path_ = path;
            return TResult::Locked;
        }
        ::close(fd);
    }
    return TResult::Failed;
}

void TFolderLock::Unlock()
{
    if (fd_ < 0)
        return;
    // Removed while still locked, so no one locks a file about to go.
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

bool TFolderLock::Held() const
{
    return fd_ >= 0;
}

TFolderLock& TFolderLock::operator=(TFolderLock&& other) noexcept
{
    if (this != &other) {
        Unlock();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

bool TFolderLock::HeldElsewhere(const QString& lockFile)
{
    const int fd = ::open(FileSystemPath(lockFile).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

#else

TFolderLock::TResult TFolderLock::Lock(const QString& lockFile)
{
    Unlock();
    auto lock = std::make_unique<QLockFile>(lockFile);
    // Only a lock whose process is gone is stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return lock->error() == QLockFile::LockFailedError ? TResult::InUse : TResult::Failed;
    lock_ = std::move(lock);
    return TResult::Locked;
}

void TFolderLock::Unlock()
{
    lock_.reset();
}

bool TFolderLock::Held() const
{
    return lock_ != nullptr;
}

TFolderLock& TFolderLock::operator=(TFolderLock&& other) noexcept
{
    if (this != &other) {
        Unlock();
        lock_ = std::move(other.lock_);
    }
    return *this;
}

bool TFolderLock::HeldElsewhere(const QString& lockFile)
{
    QLockFile probe(lockFile);
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    return probe.error() == QLockFile::LockFailedError;
}

#endif

} // namespace sonfeld::app
