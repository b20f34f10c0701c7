#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <map>
#include <optional>

#include "app/settings/reading_settings.h"
#include "app/verification/track_verdict.h"
#include "audio/cd/cd_types.h"
#include "audio/cd/verify/accuraterip_verdict.h"

namespace sonfeld::app {

// Which reads a queue makes of each track and what it does with them. In
// "快速并校验" a track is read fast and kept only once AccurateRip or the
// CTDB confirms it; a mismatch sends it back for one secure read. When
// neither database can prove anything (the disc is not in them, or they
// cannot be reached), fast reading gains nothing: that track and every later
// one are read securely, and a fast read already under way still waits for
// its verdict.
// "旧光驱模式" reads every pass with paranoia's overlap matching, checked
// against plain reads; "安全模式" and the secure re-reads read securely.
// With test and copy each read is made twice, the first only for its CRC.
//
// The rip queue asks it before and after every pass; it holds no files.
class TReadingPlan {
public:
    struct TPass {
        TCDReadMode Mode = rmSecure;
        bool Test = false; // the pass only checksums: its file is discarded
    };
    enum class TAfterPass {
        NextPass,     // start the next pass of the same track
        AwaitVerdict, // keep the file aside until AccurateRip has judged it
        Keep,         // the track is done
    };

    void StartQueue(const TReadingOptions& options);
    const TReadingOptions& Options() const { return options_; }
    // The reading mode line of the log.
    QString ModeText() const;

    // The lookup answered: a disc the database does not know (or a lookup
    // that failed) cannot prove fast reads, so what is left is read securely.
    void LookupAnswered(bool discKnown);
    // The pass to start now (a fast one is remembered: it waits for a verdict).
    TPass NextPass(int track);
    // A pass of track ended whole, with the CRC32 of what it read.
    TAfterPass PassDone(int track, quint32 crc);
    // AccurateRip's verdict on a fast read that waited for it: true to keep
    // the file, false to discard it and read the track again securely.
    bool KeepFastRead(int track, verify::AccurateRipStatus status);
    // The same from both databases: either one confirming keeps it.
    bool KeepFastRead(int track, const TTrackVerdict& verdict);
    // The reads of the track before the one kept, to compare it with: a fast
    // read that was discarded, the test read of test and copy.
    TEarlierReads EarlierReads(int track) const;
    // A track is started afresh (a new queue, or a rip after a failure).
    void Forget(int track) { tracks_.erase(track); }

    bool ReRead(int track) const;
    std::optional<quint32> TestCrc(int track) const;
    // The test and copy CRCs differ.
    bool CopyMismatch(int track) const;
    // What the log tells about how the track was read, one line each.
    QStringList Notes(int track) const;

private:
    struct TTrack {
        bool Secure = false;            // read securely from now on
        bool ReRead = false;            // a fast read was discarded
        bool TestDone = false;          // the current read's test pass is done
        bool FastPass = false;          // the pass under way reads fast
        std::optional<quint32> FastCrc; // of a fast read that was discarded
        std::optional<quint32> TestCrc;
        std::optional<quint32> CopyCrc;
        QStringList Notes;
    };
    bool Fast(const TTrack& track) const;
    // The fast read just made is discarded and the track read again securely;
    // its CRC is kept to compare. Returns false: the read is not kept.
    static bool ReadAgainSecurely(TTrack& state);

    TReadingOptions options_;
    // The database cannot prove fast reads: the rest is read securely.
    bool allSecure_ = false;
    std::map<int, TTrack> tracks_;
};

} // namespace sonfeld::app
