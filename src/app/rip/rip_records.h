#pragma once

#include <QString>
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
};

// What a queue's log and CUE sheet are made of besides the verification.
struct TQueueRecord {
    QString Folder;
    QString Album;
    QString Extension; // of the format ripped, ".flac"
    QString DriveName;
    int ReadOffset = 0;
    TCDReadMode ReadMode = rmSecure;
    std::vector<TRecordedTrack> Tracks;
};

// "<album>.log" and "<album>.cue" (or "rip.log" and "rip.cue" without an
// album text) in the queue's folder; a name already taken gets " (2)", " (3)"…
// so an earlier queue's log is never overwritten. Returns what could not be
// written, one sentence each; empty when all went well.
QStringList WriteRipRecords(const TQueueRecord& record, const TRipVerification& verification,
                            bool writeLog, bool writeCueSheet);

} // namespace sonfeld::app
