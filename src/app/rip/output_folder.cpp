#include "output_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "local_path.h"

namespace sonfeld::app {

namespace {

const QString kLockName = QStringLiteral(".sonfeld.lock");

const QRegularExpression& TemporaryPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\.sonfeld-\d+-\d+\.part(\.[A-Za-z0-9]+)?$)"));
    return pattern;
}

} // namespace

TOutputFolder::TOutputFolder() = default;

TOutputFolder::~TOutputFolder()
{
    Release();
}

QString TOutputFolder::Acquire(const QString& folder)
{
    Release();
    // By its bytes: Qt's own file functions would replace a name that is not
    // valid in the local encoding with another one.
    const std::filesystem::path path = FileSystemPath(folder);
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!std::filesystem::is_directory(path, error))
        return QStringLiteral("无法创建文件夹“%1”。").arg(folder);
    switch (lock_.Lock(QDir(folder).filePath(kLockName))) {
    case TFolderLock::TResult::Locked: break;
    case TFolderLock::TResult::InUse:
        return QStringLiteral("另一个 Sonfeld 正在向文件夹“%1”写入文件，请等它结束后再试。")
            .arg(folder);
    case TFolderLock::TResult::Failed:
        return QStringLiteral("无法在文件夹“%1”中写入文件。").arg(folder);
    }
    folder_ = folder;
    RemoveLeftovers();
    return {};
}

void TOutputFolder::Release()
{
    lock_.Unlock();
    folder_.clear();
}

void TOutputFolder::RemoveLeftovers() const
{
    // While the lock is held no other program writes here: any temporary
    // file is left from a run that was killed.
    std::error_code error;
    std::filesystem::directory_iterator entry(FileSystemPath(folder_), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (entry->is_regular_file(error) &&
            TemporaryPattern().match(PathFromFileSystem(entry->path().filename())).hasMatch())
            std::filesystem::remove(entry->path(), error);
    }
}

QString TOutputFolder::TemporaryFor(const QString& finalName)
{
    const QFileInfo target(finalName);
    const QString suffix = target.suffix().isEmpty() ? QString() : "." + target.suffix();
    QString candidate;
    std::error_code error;
    do {
        candidate = target.dir().filePath(QStringLiteral(".sonfeld-%1-%2.part%3")
                                              .arg(QCoreApplication::applicationPid())
                                              .arg(++count_)
                                              .arg(suffix));
    } while (candidate == finalName || std::filesystem::exists(FileSystemPath(candidate), error));
    return candidate;
}

QString TOutputFolder::Finish(const QString& temporary, const QString& finalName)
{
    // rename() replaces the final file in one step: there is no moment
    // without a complete file under that name.
    if (std::rename(LocalPath(temporary).constData(), LocalPath(finalName).constData()) == 0)
        return {};
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    Discard(temporary);
    return QStringLiteral("无法把文件保存为“%1”：%2").arg(finalName, reason);
}

void TOutputFolder::Discard(const QString& temporary)
{
    std::error_code error;
    std::filesystem::remove(FileSystemPath(temporary), error);
}

} // namespace sonfeld::app
