#include "lookup_options.h"

namespace sonfeld::app::metadata {

QString MakeUserAgent(const QString& version)
{
    return QStringLiteral("Sonfeld/%1 ( %2 )").arg(version, kContactAddress);
}

QString BuildVersion()
{
    return QStringLiteral(SONFELD_VERSION);
}

QString DefaultUserAgent()
{
    return MakeUserAgent(BuildVersion());
}

QString TrimmedBase(const QString& server)
{
    QString base = server.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

} // namespace sonfeld::app::metadata
