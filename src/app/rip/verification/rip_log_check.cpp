#include <QCryptographicHash>
#include <QFile>

#include "rip_log.h"
#include "rip_log_checksum.h"

namespace sonfeld::app {

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

RipLogCheck CheckRipLogFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RipLogCheck::Unreadable;
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return RipLogCheck::Unreadable;
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
