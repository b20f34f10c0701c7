#include "record_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace sonfeld::app {

namespace {

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

#ifdef Q_OS_UNIX

bool WriteRecordFile(const QByteArray& path, const QByteArray& data, QString* error)
{
    const auto fail = [error](int number) {
        if (error != nullptr)
            *error = Reason(number);
        return false;
    };
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : path.left(slash + 1);
    // Named like a track's temporary file, so that a rip killed here leaves
    // nothing the next one's clean-up misses.
    QByteArray temporary;
    int fd = -1;
    for (int n = 1; fd < 0 && n < 1000; ++n) {
        temporary = folder + ".sonfeld-" + QByteArray::number(QCoreApplication::applicationPid()) +
                    "-" + QByteArray::number(900000 + n) + ".part";
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0644);
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    qsizetype done = 0;
    int failure = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    // rename() puts the complete file in place in one step and replaces a
    // link there instead of following it.
    if (failure == 0 && std::rename(temporary.constData(), path.constData()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.constData());
        return fail(failure);
    }
    return true;
}

#else

bool WriteRecordFile(const QByteArray& path, const QByteArray& data, QString* error)
{
    QSaveFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error != nullptr)
            *error = file.errorString();
        return false;
    }
    return true;
}

#endif

} // namespace sonfeld::app
