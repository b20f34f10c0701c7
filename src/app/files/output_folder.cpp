#include "output_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "local_path.h"
#include "record_file.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace sonfeld::app {

namespace {

const QString kLockName = QStringLiteral(".sonfeld.lock");

// A track's temporary file, its ".pcm" spool, a log's or sheet's temporary
// file: ".sonfeld-<pid>-<n>.part", then extensions.
const QRegularExpression& TemporaryPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\.sonfeld-(\d+)-\d+\.part(\.[A-Za-z0-9]+)*$)"));
    return pattern;
}

// Whether the program that made a temporary file may still write it: this
// one, or any that runs.
bool OwnerAlive(qint64 pid)
{
    if (pid == QCoreApplication::applicationPid())
        return true;
#ifdef Q_OS_UNIX
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#else
    return false;
#endif
}

// Removes the temporary files that no running program owns: left by a run
// that was killed. A link under such a name goes too (never what it points at).
void RemoveLeftovers(const QString& folder)
{
    std::error_code error;
    std::filesystem::directory_iterator entry(FileSystemPath(folder), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code statusError;
        const auto status = entry->symlink_status(statusError);
        if (statusError ||
            !(std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)))
            continue;
        const QRegularExpressionMatch match =
            TemporaryPattern().match(PathFromFileSystem(entry->path().filename()));
        if (match.hasMatch() && !OwnerAlive(match.captured(1).toLongLong())) {
            std::error_code removeError;
            std::filesystem::remove(entry->path(), removeError);
        }
    }
}

bool Taken(const QString& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(FileSystemPath(path), error));
}

// Creates path as a new empty file; false when the name is taken (by a file,
// a folder or a link, which is never followed).
bool CreateExclusively(const QString& path, int* failure)
{
    *failure = 0;
#ifdef Q_OS_UNIX
    const int fd = ::open(LocalPath(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno != EEXIST)
            *failure = errno;
        return false;
    }
    ::close(fd);
    return true;
#else
    if (Taken(path))
        return false;
    std::FILE* file = std::fopen(LocalPath(path).constData(), "wb");
    if (file == nullptr) {
        *failure = errno;
        return false;
    }
    std::fclose(file);
    return true;
#endif
}

// What a killed write of an image leaves: an empty file, or the start of a
// JPEG or PNG without its end marker. Anything else (a whole image, a file
// of the user's) is kept.
bool CutOffImage(const QString& path)
{
    std::FILE* file = std::fopen(LocalPath(path).constData(), "rb");
    if (file == nullptr)
        return false;
    unsigned char head[8] = {};
    unsigned char tail[12] = {};
    const std::size_t headRead = std::fread(head, 1, sizeof head, file);
    const bool tailRead = std::fseek(file, -static_cast<long>(sizeof tail), SEEK_END) == 0 &&
                          std::fread(tail, 1, sizeof tail, file) == sizeof tail;
    std::fclose(file);
    static const unsigned char kJpeg[3] = {0xFF, 0xD8, 0xFF};
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const bool jpeg = std::memcmp(head, kJpeg, std::min(headRead, sizeof kJpeg)) == 0;
    const bool png = std::memcmp(head, kPng, std::min(headRead, sizeof kPng)) == 0;
    if (headRead == 0)
        return true;
    if (jpeg)
        return !tailRead || tail[10] != 0xFF || tail[11] != 0xD9;
    if (png)
        return !tailRead || std::memcmp(tail + 4, "IEND", 4) != 0;
    return false;
}

TMessage InUseText(const QString& folder)
{
    return TMessage(QT_TRANSLATE_NOOP(
                        "sonfeld", "另一个 Sonfeld 正在向文件夹“%1”写入文件，请等它结束后再试。"))
        .Arg(folder);
}

TMessage CannotWriteIn(const QString& folder)
{
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法在文件夹“%1”中写入文件。")).Arg(folder);
}

} // namespace

TOutputFolder::TOutputFolder() = default;

TOutputFolder::~TOutputFolder()
{
    Release();
}

TMessage TOutputFolder::Acquire(const QString& folder)
{
    Release();
    // By its bytes: Qt's own file functions would replace a name that is not
    // valid in the local encoding with another one.
    const std::filesystem::path path = FileSystemPath(folder);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!std::filesystem::is_directory(path, error))
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法创建文件夹“%1”。")).Arg(folder);
    switch (lock_.Lock(QDir(folder).filePath(kLockName))) {
    case TFolderLock::TResult::Locked: break;
    case TFolderLock::TResult::InUse: return InUseText(folder);
    case TFolderLock::TResult::Failed: return CannotWriteIn(folder);
    }
    // A rip into a folder above may write into this one through its
    // file-name template.
    if (QString holder; LockedByOtherAbove(folder, &holder)) {
        lock_.Unlock();
        return InUseText(holder);
    }
    folder_ = folder;
    RemoveLeftovers(folder_);
    return {};
}

void TOutputFolder::Release()
{
    subFolders_.clear();
    lock_.Unlock();
    folder_.clear();
}

void TOutputFolder::HandOver(TOutputFolder& other)
{
    if (&other == this)
        return;
    other.Release();
    other.folder_ = folder_;
    other.lock_ = std::move(lock_);
    other.subFolders_ = std::move(subFolders_);
    other.count_ = count_;
    subFolders_.clear();
    folder_.clear();
}

bool TOutputFolder::LockedByOtherAbove(const QString& folder, QString* holder) const
{
    QString above = QDir::cleanPath(folder);
    for (;;) {
        const qsizetype slash = above.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return false;
        above = slash == 0 ? QStringLiteral("/") : above.left(slash);
        const bool ours =
            above == QDir::cleanPath(folder_) || subFolders_.count(QDir::cleanPath(above)) > 0;
        if (!ours && TFolderLock::HeldElsewhere(QDir(above).filePath(kLockName))) {
            *holder = above;
            return true;
        }
        if (slash == 0)
            return false;
    }
}

TMessage TOutputFolder::EnterSubFolder(const QString& folder)
{
    const QString key = QDir::cleanPath(folder);
    if (key == QDir::cleanPath(folder_) || subFolders_.count(key) > 0)
        return {};
    TFolderLock lock;
    switch (lock.Lock(QDir(folder).filePath(kLockName))) {
    case TFolderLock::TResult::Locked: break;
    case TFolderLock::TResult::InUse: return InUseText(folder);
    case TFolderLock::TResult::Failed: return CannotWriteIn(folder);
    }
    if (QString holder; LockedByOtherAbove(folder, &holder))
        return InUseText(holder);
    subFolders_.emplace(key, std::move(lock));
    RemoveLeftovers(folder);
    return {};
}

QString TOutputFolder::TemporaryFor(const QString& finalName, TMessage* problem)
{
    const QFileInfo target(finalName);
    const QString dir = target.dir().path();
    if (!folder_.isEmpty()) {
        if (TMessage refused = EnterSubFolder(dir); !refused.IsEmpty()) {
            if (problem != nullptr)
                *problem = std::move(refused);
            return {};
        }
    }
    const QString suffix = target.suffix().isEmpty() ? QString() : "." + target.suffix();
    for (int attempt = 0; attempt < 10000; ++attempt) {
        QString candidate = target.dir().filePath(QStringLiteral(".sonfeld-%1-%2.part%3")
                                                      .arg(QCoreApplication::applicationPid())
                                                      .arg(++count_)
                                                      .arg(suffix));
        // Its spool file is named after it and must be free as well.
        if (candidate == finalName || Taken(candidate + QStringLiteral(".pcm")))
            continue;
        int failure = 0;
        if (CreateExclusively(candidate, &failure))
            return candidate;
        if (failure != 0) {
            if (problem != nullptr)
                *problem = TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法在文件夹“%1”中写入文件：%2"))
                               .Arg(dir)
                               .Arg(QString::fromLocal8Bit(std::strerror(failure)));
            return {};
        }
    }
    if (problem != nullptr)
        *problem = CannotWriteIn(dir);
    return {};
}

bool WriteCoverFileOnce(const QString& path, const QByteArray& data)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(FileSystemPath(path), error);
    if (std::filesystem::exists(status) &&
        (!std::filesystem::is_regular_file(status) || !CutOffImage(path)))
        return true;
    return WriteRecordFile(LocalPath(path), data, nullptr);
}

TMessage TOutputFolder::Finish(const QString& temporary, const QString& finalName)
{
    // rename() replaces the final file in one step: there is no moment
    // without a complete file under that name.
    if (std::rename(LocalPath(temporary).constData(), LocalPath(finalName).constData()) == 0)
        return {};
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    Discard(temporary);
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法把文件保存为“%1”：%2"))
        .Arg(finalName)
        .Arg(reason);
}

void TOutputFolder::Discard(const QString& temporary)
{
    std::error_code error;
    std::filesystem::remove(FileSystemPath(temporary), error);
}

} // namespace sonfeld::app
