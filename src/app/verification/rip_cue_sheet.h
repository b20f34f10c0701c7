#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace sonfeld::app {

// One ripped track as its own file, which runs from the track's index 01 to
// the next track's index 01 (the next track's gap is appended to this file).
struct CueTrack {
    int number = 0; // 0: the audio hidden before track 1's INDEX 01
    // Relative to the sheet, "/" between folders. File names are portable
    // (no '"', no control character), so the FILE line names the file exactly.
    QString fileName;
    QString performer;
    QString title;
    QString isrc;                      // 12 characters; empty or all zeros: none
    std::optional<bool> preEmphasis;   // unknown: no flag written
    std::optional<bool> copyPermitted; // unknown: no flag written
    qint64 fileSectors = 0;            // the file's length
    qint64 pregapSectors = 0;          // this track's index 00 up to its index 01
    // A whole-disc image: where the track's index 01 lies in the image file.
    qint64 imageSector = 0;
};

struct CueSheet {
    QString performer;
    QString title;
    QString date;                                // REM DATE, as the names give it
    QString genre;                               // REM GENRE
    QString program = QStringLiteral("Sonfeld"); // REM COMMENT: who wrote the sheet
    QString catalog;  // the disc's 13-digit MCN; empty or all zeros: none
    QString freedbId; // REM DISCID
    QString fileType = QStringLiteral("WAVE");
    std::vector<CueTrack> tracks;
};

// The sheet as UTF-8 without a byte order mark. A gap shows as the track's
// INDEX 00 inside the previous track's FILE when that file is the track just
// before it on the disc; a gap no file holds (the first track's, or one after
// a track left out of the rip) as PREGAP. Track 0, the audio hidden before
// track 1, is no track of its own: its file holds track 1's INDEX 00.
QByteArray FormatCueSheet(const CueSheet& sheet);
bool WriteCueSheet(const QString& path, const CueSheet& sheet, QString* error);
// The sheet of one image file holding the disc's tracks (imageSector set):
// one FILE, each track's INDEX 00 (its gap) and INDEX 01 at their places in
// it; a gap before the image's start (the first track's) as PREGAP.
QByteArray FormatImageCueSheet(const CueSheet& sheet, const QString& imageFile);

} // namespace sonfeld::app
