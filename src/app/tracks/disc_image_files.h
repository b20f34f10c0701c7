#pragma once

#include <QFileInfo>
#include <QString>

// The disc images the CR_ library opens as drives: CUE sheets (with their
// BIN), cdrdao TOC files and NRG images.
namespace sonfeld::app {

inline bool IsDiscImageFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("cue") || suffix == QLatin1String("toc") ||
           suffix == QLatin1String("nrg");
}

// The chooser's filter; both cases, as the file system tells them apart.
inline QString DiscImageFilter()
{
    return QStringLiteral(QT_TRANSLATE_NOOP(
        "sonfeld", "光盘镜像 (*.cue *.toc *.nrg *.CUE *.TOC *.NRG);;所有文件 (*)"));
}

} // namespace sonfeld::app
