#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <optional>

#include "accuraterip_lookup.h"
#include "audio/cd/cd_types.h"
#include "audio/cd/disc/disc_model.h"
#include "audio/cd/verify/accuraterip_verdict.h"
#include "audio/cd/verify/track_checksums.h"

namespace sonfeld::app {

// What one ripped track proved: its checksums, what the reading library
// reported and, once the lookup answered, its AccurateRip verdict.
struct TTrackVerification {
    verify::TrackChecksums Checksums;
    TCDRipReport Report;
    std::optional<verify::AccurateRipVerdict> Verdict;
};

// The verification side of a rip queue: the disc's model, its AccurateRip
// lookup (started with the queue, never waited for) and the checksums of
// each track ripped. A track's verdict comes once both its checksums and the
// lookup's answer are there, whichever is last.
//
// Threads: the UI thread.
class TRipVerification final : public QObject {
    Q_OBJECT
public:
    explicit TRipVerification(QObject* parent = nullptr);

    // A new queue on that drive: reads the disc's model and looks the disc up
    // at the AccurateRipServer setting's address. A lookup of the same disc
    // still running is kept, as are the verdicts of tracks ripped before.
    void StartQueue(int drive);
    // Where the track sits among the disc's audio tracks.
    verify::TrackPlace PlaceOf(int track) const;
    void TrackRipped(int track, const verify::TrackChecksums& checksums,
                     const TCDRipReport& report);

    // Some ripped track still waits for the lookup.
    bool Pending() const;
    const std::optional<disc::DiscModel>& Disc() const { return disc_; }
    const std::optional<AccurateRipLookupResult>& Lookup() const { return lookupResult_; }
    const std::map<int, TTrackVerification>& Tracks() const { return tracks_; }
    // The disc's AccurateRip identity; empty without a model.
    std::optional<AccurateRipDiscId> DiscId() const { return discId_; }

signals:
    // "精确 (可信度 N)", "不匹配", "数据库中无此光盘" or "无法连接".
    void TrackVerified(int track, const QString& verdict);
    // Every ripped track has its verdict.
    void Settled();
    // The lookup started by StartQueue has its answer (Lookup() holds it).
    void LookupAnswered();

private:
    void LookupFinished(const AccurateRipLookupResult& result);
    void Judge(int track, TTrackVerification& verification);

    AccurateRipLookup lookup_;
    std::optional<disc::DiscModel> disc_;
    std::optional<AccurateRipDiscId> discId_;
    std::optional<AccurateRipLookupResult> lookupResult_;
    std::map<int, TTrackVerification> tracks_; // by track number
};

} // namespace sonfeld::app
