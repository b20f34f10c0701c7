#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "accuraterip_lookup.h"
#include "audio/cd/cd_types.h"
#include "audio/cd/ctdb/ctdb_shifted_crcs.h"
#include "audio/cd/ctdb/ctdb_toc.h"
#include "audio/cd/disc/disc_model.h"
#include "audio/cd/verify/accuraterip_verdict.h"
#include "audio/cd/verify/track_checksums.h"
#include "ctdb_lookup.h"
#include "track_verdict.h"

namespace sonfeld::app {

// What one ripped track proved: its checksums, what the reading library
// reported and, once both lookups answered, its verdicts.
struct TTrackVerification {
    verify::TrackChecksums Checksums;
    TCDRipReport Report;
    // AccurateRip's verdict, set together with Typed once both lookups answered.
    std::optional<verify::AccurateRipVerdict> Verdict;
    TTrackVerdict Typed;
    // CRC32s of other independent reads of the track compared with this one.
    std::vector<quint32> OtherReads;
};

// The CTDB's verdict on the whole disc, once every audio track was ripped.
struct TCtdbDiscVerdict {
    TDatabaseVerdict Verdict;
    std::optional<quint32> Crc; // the rip's disc CRC, when every audio track is whole
    QString Detail;             // why it was not checked, or the lookup's error
};

// The verification side of a rip queue: the disc's model, its AccurateRip and
// CTDB lookups (started together with the queue, never waited for) and the
// checksums of each track ripped. A track's verdicts come once both its
// checksums and both lookups' answers are there, whichever is last.
//
// Threads: the UI thread.
class TRipVerification final : public QObject {
    Q_OBJECT
public:
    explicit TRipVerification(QObject* parent = nullptr);

    // A new queue on that drive: reads the disc's model and looks the disc up
    // at the AccurateRipServer and CTDBServer settings' addresses. Lookups of
    // the same disc still running are kept, as are the verdicts of tracks
    // ripped before.
    void StartQueue(int drive);
    // Where the track sits among the disc's audio tracks, with its CTDB window.
    verify::TrackPlace PlaceOf(int track) const;
    // earlier: the other reads of the same track (a fast read before a
    // secure one, a test read): two reads that agree prove the track; reads
    // that differ make it suspicious unless a database proves it.
    void TrackRipped(int track, const verify::TrackChecksums& checksums, const TCDRipReport& report,
                     const TEarlierReads& earlier = {});

    // Some ripped track still waits for a lookup.
    bool Pending() const;
    const std::optional<disc::DiscModel>& Disc() const { return disc_; }
    const std::optional<AccurateRipLookupResult>& Lookup() const { return lookupResult_; }
    const std::optional<CtdbLookupResult>& CtdbLookupAnswer() const { return ctdbResult_; }
    // Either database knows the disc; false until both answered.
    bool DiscKnown() const;
    const std::map<int, TTrackVerification>& Tracks() const { return tracks_; }
    // The disc's AccurateRip identity; empty without a model.
    std::optional<AccurateRipDiscId> DiscId() const { return discId_; }
    // The disc's CTDB TOC id; empty without a model.
    QString CtdbTocId() const;
    TCtdbDiscVerdict CtdbDiscVerdict() const;

signals:
    // The track's verdicts are in (Tracks() holds them); verdict is what the
    // "校验" cell shows.
    void TrackVerified(int track, const TMessage& verdict);
    // Every ripped track has its verdict.
    void Settled();
    // Both lookups started by StartQueue have their answers.
    void LookupAnswered();

private:
    void LookupFinished(const AccurateRipLookupResult& result);
    void CtdbLookupFinished(const CtdbLookupResult& result);
    void BothAnswered();
    bool Answered() const { return lookupResult_.has_value() && ctdbResult_.has_value(); }
    void Judge(int track, TTrackVerification& verification);
    void Prove(TTrackVerification& verification) const;
    TDatabaseVerdict CtdbTrackVerdict(int track, const verify::TrackChecksums& sums) const;
    // The rip's CTDB CRCs at other alignments, from the tracks ripped so far.
    std::optional<ctdb::CtdbShiftedCrcs> ShiftedCrcs() const;
    // A track next to one just ripped may now match at another alignment.
    void JudgeNeighbours(int track);

    AccurateRipLookup lookup_;
    CtdbLookup ctdbLookup_;
    std::optional<disc::DiscModel> disc_;
    std::optional<AccurateRipDiscId> discId_;
    std::optional<ctdb::CtdbToc> ctdbToc_;
    std::optional<AccurateRipLookupResult> lookupResult_;
    std::optional<CtdbLookupResult> ctdbResult_;
    std::map<int, TTrackVerification> tracks_; // by track number
};

} // namespace sonfeld::app
