#include "accuraterip_disc_id.h"

namespace sonfeld::app {
namespace {

QString Hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

} // namespace

QString AccurateRipIdText(const AccurateRipDiscId& disc)
{
    return QStringLiteral("%1-%2-%3-%4")
        .arg(disc.audioTrackCount, 3, 10, QLatin1Char('0'))
        .arg(Hex8(disc.id1), Hex8(disc.id2), Hex8(disc.freedbId));
}

QString AccurateRipFileName(const AccurateRipDiscId& disc)
{
    return QStringLiteral("dBAR-") + AccurateRipIdText(disc) + QStringLiteral(".bin");
}

QString AccurateRipFilePath(const AccurateRipDiscId& disc)
{
    const QString id1 = Hex8(disc.id1);
    return QStringLiteral("/%1/%2/%3/").arg(id1.at(7)).arg(id1.at(6)).arg(id1.at(5)) +
           AccurateRipFileName(disc);
}

} // namespace sonfeld::app
