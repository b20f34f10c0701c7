#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "rip_log.h"
#include "rip_log_checksum.h"

namespace sonfeld::app {

namespace {

constexpr qint64 kMaxRipLogBytes = 16 * 1024 * 1024;

} // namespace

QByteArray RipLogChecksumLine(const QByteArray& textAbove)
{
    return QByteArray(kRipLogChecksumPrefix) +
           QCryptographicHash::hash(textAbove, QCryptographicHash::Sha256).toHex() + '\n';
}

RipLogCheck CheckRipLogText(const QByteArray& text)
{
    if (text.size() < 2 || !text.endsWith('\n'))
        return RipLogCheck::NoChecksum;
    const qsizetype lineStart = text.lastIndexOf('\n', text.size() - 2) + 1;
    const QByteArray line = text.mid(lineStart);
    if (!line.startsWith(kRipLogChecksumPrefix))
        return RipLogCheck::NoChecksum;
    return line == RipLogChecksumLine(text.left(lineStart)) ? RipLogCheck::Intact
                                                            : RipLogCheck::Altered;
}

RipLogCheck CheckRipLogFile(const QString& path, QString* reason)
{
    auto unreadable = [reason](const QString& why) {
        if (reason != nullptr)
            *reason = why;
        return RipLogCheck::Unreadable;
    };
    // A FIFO would be waited on forever, a device read until memory runs out.
    const QFileInfo info(path);
    if (!info.exists())
        return unreadable(QStringLiteral("%1 does not exist").arg(path));
    if (!info.isFile())
        return unreadable(QStringLiteral("%1 is not a regular file").arg(path));
    if (info.size() > kMaxRipLogBytes)
        return unreadable(QStringLiteral("%1 is over 16 MiB, too large to be a rip log").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray text = file.read(kMaxRipLogBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (text.size() > kMaxRipLogBytes)
        return unreadable(QStringLiteral("%1 is over 16 MiB, too large to be a rip log").arg(path));
    return CheckRipLogText(text);
}

QString RipLogCheckMessage(RipLogCheck result)
{
    switch (result) {
    case RipLogCheck::Intact: return QStringLiteral("The log is intact");
    case RipLogCheck::Altered: return QStringLiteral("The log was changed after it was written");
    case RipLogCheck::NoChecksum: return QStringLiteral("The log has no checksum line");
    case RipLogCheck::Unreadable: break;
    }
    return QStringLiteral("The log could not be read");
}

} // namespace sonfeld::app
