#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <vector>

#include "audio/cd/verify/accuraterip_verdict.h"
#include "audio/cd/verify/track_checksums.h"
#include "track_verdict.h"

namespace sonfeld::app {

// One row of the disc's table of contents, in sectors.
struct RipLogTocEntry {
    int number = 0;
    qint64 startLsn = 0;
    qint64 lengthSectors = 0;
    qint64 pregapSectors = 0; // index 00 up to index 01
    bool audio = true;
};

// What the reading library reported for one track.
struct ParanoiaStatistics {
    qint64 corrections = 0;
    qint64 readErrors = 0;
    std::vector<qint64> uncorrectedSectors; // LSNs
};

struct RipLogTrack {
    int number = 0;
    QString fileName;
    // The tap's sums; absent when the track was never read through.
    std::optional<verify::TrackChecksums> checksums;
    std::optional<quint32> testCrc; // the first read of test and copy
    verify::AccurateRipVerdict accurateRip;
    QString accurateRipDetail; // why it could not be checked, e.g. the lookup's error
    TDatabaseVerdict ctdb;     // NotChecked: no CTDB line
    QString ctdbDetail;
    std::optional<TReadProof> proof; // absent: no proof line
    std::vector<quint32> otherReads; // CRC32s of other reads of the track
    ParanoiaStatistics paranoia;
    QStringList readingNotes; // re-reads and other facts of how it was read
    bool ripped = false;      // the file is complete and kept
    QString status;           // the row's final status text
    QString performer;
    QString isrc;                    // as the disc's subchannel gives it; empty: none
    std::optional<bool> preEmphasis; // unknown: not written
    bool deEmphasised = false;       // the file's audio, not the sums', was de-emphasised
    QStringList sheetNotes;          // what the CUE sheet could not show as on the disc
};

// Everything one rip's log tells; the rip queue fills it in.
struct RipLog {
    QString programVersion;
    QDateTime date;
    QString driveName;
    int readOffset = 0; // samples
    QString readingMode;
    QString accurateRipId;
    QString freedbId;
    QString musicBrainzId;
    QString ctdbTocId;
    // The whole disc's CTDB verdict; NotChecked with ctdbDiscDetail saying why.
    TDatabaseVerdict ctdbDisc;
    std::optional<quint32> ctdbDiscCrc;
    QString ctdbDiscDetail;
    QString albumPerformer;
    QString albumTitle;
    QString releaseDate;
    QString genre;
    QString catalog; // the disc's media catalogue number
    std::vector<RipLogTocEntry> toc;
    qint32 hiddenTrackSectors = 0;   // audio found before track 1's INDEX 01; 0 for none
    bool hiddenTrackInImage = false; // that audio opens a one-file image
    std::vector<RipLogTrack> tracks;
};

inline const QString kAllTracksAccurate = QStringLiteral("全部音轨均已精确校验");

// The problems the summary lists, one line each; empty when every track was
// ripped and proven accurate.
QStringList RipLogProblems(const RipLog& log);
// The whole log as UTF-8, its last line the SHA-256 of everything above it.
QByteArray FormatRipLog(const RipLog& log);
// Writes FormatRipLog to path; false with error set when it could not.
bool WriteRipLog(const QString& path, const RipLog& log, QString* error);

enum class RipLogCheck {
    Intact,     // the checksum line matches the text above it
    Altered,    // it does not: the log was changed after it was written
    NoChecksum, // the last line is not a checksum line
    Unreadable, // the file could not be read
};

RipLogCheck CheckRipLogText(const QByteArray& text);
// Reads only a regular file of at most 16 MiB (no log is larger); for
// anything else, or a read that fails, Unreadable with reason (when given)
// saying why.
RipLogCheck CheckRipLogFile(const QString& path, QString* reason = nullptr);
// An English sentence for the command line.
QString RipLogCheckMessage(RipLogCheck result);

} // namespace sonfeld::app
