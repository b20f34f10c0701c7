#pragma once

#include <QString>
#include <filesystem>
#include <memory>

class QLockFile;

// A lock file that keeps a second program out of a folder. UI thread.
//
// On Unix the lock is the kernel's lock on the open file, which goes with the
// process however it ends, so a crash never leaves the folder locked; the
// file is opened by its bytes, whatever the folder's name holds, and never
// through a link planted under its name.
namespace sonfeld::app {

class TFolderLock {
public:
    enum class TResult { Locked, InUse, Failed };

    TFolderLock();
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;
    TFolderLock(TFolderLock&& other) noexcept;
    TFolderLock& operator=(TFolderLock&& other) noexcept;

    TResult Lock(const QString& lockFile);
    // Removes the lock file and lets the folder go.
    void Unlock();
    bool Held() const;

    // Whether another holder (a program, or another lock of this one) has
    // the lock file locked now. A missing file is not held.
    static bool HeldElsewhere(const QString& lockFile);

private:
#ifdef Q_OS_UNIX
    int fd_ = -1;
    std::filesystem::path path_;
#else
    std::unique_ptr<QLockFile> lock_;
#endif
};

} // namespace sonfeld::app
