#include "app_icons.h"

#include <QFile>
#include <QImageReader>

namespace sonfeld::app {

QIcon AppIcon(const char* name)
{
    static const bool svgReadable = QImageReader::supportedImageFormats().contains("svg");
    const QString svg = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
    if (svgReadable && QFile::exists(svg))
        return QIcon(svg);
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}

} // namespace sonfeld::app
