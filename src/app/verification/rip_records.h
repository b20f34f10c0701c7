#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "audio/cd/cd_types.h"

namespace sonfeld::app {

class TRipVerification;

// One track a queue tried to rip, as its row ended.
struct TRecordedTrack {
    int Number = 0;
    QString Title;    // the row's name
    QString FileName; // without the folder
    QString Status;   // the row's final status text
    bool Ripped = false;
    std::optional<quint32> TestCrc; // the test read's, with test and copy
    bool ReRead = false;            // read again securely after a fast read
    QStringList ReadingNotes;       // how it was read, for the log
    QString Artist;                 // the track's performer, when names are known
    bool DeEmphasised = false;      // its file holds the audio de-emphasised
};

// What a queue's log and CUE sheet are made of besides the verification.
struct TQueueRecord {
    QString Folder;
    QString Album;
    QString Extension; // of the format ripped, ".flac"
    QString DriveName;
    int ReadOffset = 0;
    TCDReadMode ReadMode = rmSecure;
    QString ReadingModeText; // the log's reading mode line; from ReadMode when empty
    std::vector<TRecordedTrack> Tracks;
    QString CueFileType; // the CUE sheet's FILE type for the format, "WAVE" when empty
    // The album's names for the log and the sheet, when known.
    QString AlbumArtist;
    QString AlbumTitle; // shown when Album (the album box) is empty
    QString Date;
    QString Genre;
    // The length of the audio found hidden before track 1 (track 0); 0 for none.
    qint32 HiddenTrackSectors = 0;
    bool HiddenTrackInImage = false; // the hidden audio opens the disc's one image file
};

// "<album>.log" and "<album>.cue" (or "rip.log" and "rip.cue" without an
// album text) in the queue's folder; a name already taken gets " (2)", " (3)"…
// so an earlier queue's log is never overwritten. Returns what could not be
// written, one sentence each; empty when all went well.
QStringList WriteRipRecords(const TQueueRecord& record, const TRipVerification& verification,
                            bool writeLog, bool writeCueSheet);

} // namespace sonfeld::app
