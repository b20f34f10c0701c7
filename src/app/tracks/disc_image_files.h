#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// The disc images the CR_ library opens as drives: CUE sheets (with the BIN,
// WAV, FLAC, APE, WavPack, TTA or ALAC file they name), cdrdao TOC files, NRG
// images, and album files that carry their own sheet.
namespace sonfeld::app {

// One audio file holding a whole disc: opened through a sheet beside it or
// the sheet embedded in it (FLAC, APE, WavPack).
inline bool IsAlbumAudioFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const char* audio : {"flac", "ape", "wv", "tta", "m4a"})
        if (suffix == QLatin1String(audio))
            return true;
    return false;
}

inline bool IsDiscImageFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("cue") || suffix == QLatin1String("toc") ||
           suffix == QLatin1String("nrg") || IsAlbumAudioFile(path);
}

// What to open for a chosen or dropped file: for an album file, the sheet
// beside it named after it ("专辑.cue" or "专辑.ape.cue"), since that is the
// sheet people keep and edit; otherwise the file itself.
inline QString SheetOrImage(const QString& path)
{
    if (!IsAlbumAudioFile(path))
        return path;
    const QFileInfo file(path);
    for (const QString& sheet :
         {file.dir().filePath(file.completeBaseName() + QStringLiteral(".cue")),
          file.filePath() + QStringLiteral(".cue")}) {
        if (QFileInfo(sheet).isFile())
            return sheet;
    }
    return path;
}

// The chooser's filter; both cases, as the file system tells them apart.
inline QString DiscImageFilter()
{
    return QStringLiteral(QT_TRANSLATE_NOOP(
        "sonfeld", "光盘镜像 (*.cue *.toc *.nrg *.flac *.ape *.wv *.tta *.m4a *.CUE *.TOC *.NRG "
                   "*.FLAC *.APE *.WV *.TTA *.M4A);;所有文件 (*)"));
}

} // namespace sonfeld::app
