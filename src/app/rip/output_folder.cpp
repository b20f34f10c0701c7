#include "output_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return QStringLiteral("无法创建文件夹“%1”。").arg(folder);
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(kLockName));
    // Only a lock whose process is gone is stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return QStringLiteral("另一个 Sonfeld 正在向文件夹“%1”写入文件，请等它结束后再试。")
                .arg(folder);
        return QStringLiteral("无法在文件夹“%1”中写入文件。").arg(folder);
    }
    folder_ = folder;
    lock_ = std::move(lock);
    RemoveLeftovers();
    return {};
}

void TOutputFolder::Release()
{
    lock_.reset();
    folder_.clear();
}

void TOutputFolder::RemoveLeftovers() const
{
    // While the lock is held no other program writes here: any temporary
    // file is left from a run that was killed.
    const QDir dir(folder_);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (TemporaryPattern().match(entry).hasMatch())
            QFile::remove(dir.filePath(entry));
    }
}

QString TOutputFolder::TemporaryFor(const QString& finalName)
{
    const QFileInfo target(finalName);
    const QString suffix = target.suffix().isEmpty() ? QString() : "." + target.suffix();
    QString candidate;
    do {
        candidate = target.dir().filePath(QStringLiteral(".sonfeld-%1-%2.part%3")
                                              .arg(QCoreApplication::applicationPid())
                                              .arg(++count_)
                                              .arg(suffix));
    } while (candidate == finalName || QFileInfo::exists(candidate));
    return candidate;
}

QString TOutputFolder::Finish(const QString& temporary, const QString& finalName)
{
    // rename() replaces the final file in one step: there is no moment
    // without a complete file under that name.
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(finalName).constData()) == 0)
        return {};
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    Discard(temporary);
    return QStringLiteral("无法把文件保存为“%1”：%2").arg(finalName, reason);
}

void TOutputFolder::Discard(const QString& temporary)
{
    QFile::remove(temporary);
}

} // namespace sonfeld::app
