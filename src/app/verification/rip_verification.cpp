#include "rip_verification.h"

#include <algorithm>

#include "accuraterip_report.h"
#include "app/settings/setting_keys.h"
#include "audio/cd/ctdb/ctdb_stream.h"
#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/core/crc32.h"

namespace sonfeld::app {

namespace {

std::optional<ctdb::CtdbToc> CtdbTocOf(const disc::DiscModel& model)
{
    ctdb::CtdbToc toc;
    for (const disc::Track& track : model.tracks) {
        toc.starts.push_back(track.startLsn);
        toc.data.push_back(track.data);
    }
    toc.leadOut = model.leadOutLsn;
    // Checked as an answer's would be: rising starts, data only at the ends.
    return ctdb::ParseCtdbToc(ctdb::CtdbTocString(toc));
}

// An entry whose audio layout is the disc's and that some rip agreed with.
bool Usable(const ctdb::CtdbEntry& entry, const ctdb::CtdbToc& toc)
{
    return entry.confidence > 0 && entry.stride == ctdb::kStrideSamples &&
           entry.toc.AudioTrackStarts() == toc.AudioTrackStarts() &&
           entry.toc.AudioSectors() == toc.AudioSectors();
}

// The offset nearest 0 within [-range, range] at which crcAt gives wanted.
template <class CrcAt>
std::optional<int> NearestOffset(int range, std::uint32_t wanted, const CrcAt& crcAt)
{
    for (int distance = 0; distance <= range; ++distance)
        for (const int offset : {distance, -distance}) {
            if (offset == -distance && distance == 0)
                continue;
            const std::optional<std::uint32_t> crc = crcAt(offset);
            if (crc && *crc == wanted)
                return offset;
        }
    return std::nullopt;
}

// The entries some audio matched, each at the offset it matched at: their
// confidences add up, and the offset shown is the most trusted entry's.
struct TCtdbMatches {
    bool Known = false; // some usable entry holds the disc
    int Confidence = 0;
    int Best = 0;
    int Offset = 0;

    void Add(const ctdb::CtdbEntry& entry, int at)
    {
        Confidence += entry.confidence;
        if (entry.confidence > Best) {
            Best = entry.confidence;
            Offset = at;
        }
    }
    TDatabaseVerdict Verdict() const
    {
        if (Confidence > 0)
            return TDatabaseVerdict{TDatabaseStatus::Accurate, Confidence,
                                    verify::AccurateRipVersion::None, Offset};
        TDatabaseVerdict verdict;
        verdict.Status = Known ? TDatabaseStatus::Mismatch : TDatabaseStatus::NotInDatabase;
        return verdict;
    }
};

} // namespace

TRipVerification::TRipVerification(QObject* parent) : QObject(parent)
{
    connect(&lookup_, &AccurateRipLookup::Finished, this, &TRipVerification::LookupFinished);
    connect(&ctdbLookup_, &CtdbLookup::Finished, this, &TRipVerification::CtdbLookupFinished);
}

void TRipVerification::StartQueue(int drive)
{
    std::optional<disc::DiscModel> model = ReadDiscModel(drive);
    std::optional<AccurateRipDiscId> id;
    if (model) {
        const disc::AccurateRipId computed = disc::ComputeAccurateRipId(*model);
        if (computed.audioTracks > 0)
            id = AccurateRipDiscId{computed.audioTracks, computed.id1, computed.id2,
                                   computed.freedb};
    }
    const bool sameDisc = id && discId_ == id;
    if (!sameDisc)
        tracks_.clear();
    ctdbToc_ = model ? CtdbTocOf(*model) : std::nullopt;
    disc_ = std::move(model);
    discId_ = id;
    if (sameDisc && (lookup_.Running() || ctdbLookup_.Running() || Answered()))
        return;
    lookupResult_.reset();
    ctdbResult_.reset();
    if (!id) {
        AccurateRipLookupResult failed;
        failed.error = QStringLiteral("The disc's table of contents could not be read");
        lookupResult_ = failed;
        CtdbLookupResult ctdbFailed;
        ctdbFailed.error = failed.error;
        ctdbResult_ = ctdbFailed;
        return;
    }
    lookup_.Start(Read(key::kAccurateRipServer), *id);
    if (ctdbToc_) {
        ctdbLookup_.Start(Read(key::kCtdbServer),
                          QString::fromStdString(ctdb::CtdbTocString(*ctdbToc_)));
    } else {
        CtdbLookupResult failed;
        failed.error = QStringLiteral("The disc's table of contents has no CTDB form");
        ctdbResult_ = failed;
    }
}

verify::TrackPlace TRipVerification::PlaceOf(int track) const
{
    verify::TrackPlace place;
    if (!disc_)
        return place;
    const std::vector<const disc::Track*> audio = disc_->AudioTracks();
    if (audio.empty())
        return place;
    place.firstAudioTrack = audio.front()->number == track;
    place.lastAudioTrack = audio.back()->number == track;
    const auto found = std::find_if(audio.begin(), audio.end(),
                                    [track](const disc::Track* t) { return t->number == track; });
    if (!ctdbToc_ || found == audio.end())
        return place;
    const ctdb::CtdbLayout layout = ctdb::CtdbLayout::FromToc(*ctdbToc_);
    const auto index = static_cast<std::size_t>(found - audio.begin());
    if (index >= layout.trackStarts.size())
        return place;
    if (index == 0)
        place.ctdbFrom = ctdb::kStrideSamples;
    if (index + 1 == layout.trackStarts.size())
        place.ctdbTo = layout.samples - layout.Suffix() - layout.trackStarts[index];
    return place;
}

void TRipVerification::TrackRipped(int track, const verify::TrackChecksums& checksums,
                                   const TCDRipReport& report, const TEarlierReads& earlier)
{
    TTrackVerification& verification = tracks_[track];
    verification = TTrackVerification{checksums, report, std::nullopt, {}, {}};
    for (const std::optional<quint32>& crc : {earlier.Fast, earlier.Test})
        if (crc)
            verification.OtherReads.push_back(*crc);
    verification.Typed.CopyMismatch = earlier.Test && *earlier.Test != checksums.crc32;
    if (Answered()) {
        // Before this track's verdict: its own may settle the queue.
        JudgeNeighbours(track);
        Judge(track, verification);
    }
}

void TRipVerification::JudgeNeighbours(int track)
{
    if (!disc_ || !ctdbResult_ || ctdbResult_->outcome != CtdbLookupResult::Outcome::Found)
        return;
    const std::vector<const disc::Track*> audio = disc_->AudioTracks();
    const auto found = std::find_if(audio.begin(), audio.end(),
                                    [track](const disc::Track* t) { return t->number == track; });
    if (found == audio.end())
        return;
    std::vector<int> neighbours;
    if (found != audio.begin())
        neighbours.push_back((*(found - 1))->number);
    if (found + 1 != audio.end())
        neighbours.push_back((*(found + 1))->number);
    for (const int number : neighbours) {
        const auto at = tracks_.find(number);
        if (at == tracks_.end() || !at->second.Verdict || at->second.Typed.Ctdb.Accurate())
            continue;
        TTrackVerification& verification = at->second;
        const TDatabaseVerdict verdict = CtdbTrackVerdict(number, verification.Checksums);
        if (verdict == verification.Typed.Ctdb)
            continue;
        verification.Typed.Ctdb = verdict;
        Prove(verification);
        emit TrackVerified(number, VerdictCellText(verification.Typed));
    }
}

std::optional<ctdb::CtdbShiftedCrcs> TRipVerification::ShiftedCrcs() const
{
    if (!disc_ || !ctdbToc_)
        return std::nullopt;
    std::vector<std::optional<ctdb::CtdbTrackEdges>> edges;
    for (const disc::Track* track : disc_->AudioTracks()) {
        const auto found = tracks_.find(track->number);
        if (found == tracks_.end() || !found->second.Checksums.complete) {
            edges.emplace_back();
            continue;
        }
        const verify::TrackChecksums& sums = found->second.Checksums;
        edges.emplace_back(ctdb::CtdbTrackEdges{sums.samples, sums.crc32, sums.edgeHead,
                                                sums.edgeTailFrom, sums.edgeTail});
    }
    return ctdb::CtdbShiftedCrcs(ctdb::CtdbLayout::FromToc(*ctdbToc_), edges);
}

bool TRipVerification::Pending() const
{
    for (const auto& [track, verification] : tracks_)
        if (!verification.Verdict)
            return true;
    return false;
}

bool TRipVerification::DiscKnown() const
{
    return (lookupResult_ && lookupResult_->outcome == AccurateRipLookupResult::Outcome::Found) ||
           (ctdbResult_ && ctdbResult_->outcome == CtdbLookupResult::Outcome::Found);
}

QString TRipVerification::CtdbTocId() const
{
    return ctdbToc_ ? QString::fromStdString(ctdb::CtdbTocId(*ctdbToc_)) : QString();
}

void TRipVerification::LookupFinished(const AccurateRipLookupResult& result)
{
    lookupResult_ = result;
    if (Answered())
        BothAnswered();
}

void TRipVerification::CtdbLookupFinished(const CtdbLookupResult& result)
{
    ctdbResult_ = result;
    if (Answered())
        BothAnswered();
}

void TRipVerification::BothAnswered()
{
    for (auto& [track, verification] : tracks_)
        if (!verification.Verdict)
            Judge(track, verification);
    emit LookupAnswered();
}

TDatabaseVerdict TRipVerification::CtdbTrackVerdict(int track,
                                                    const verify::TrackChecksums& sums) const
{
    TDatabaseVerdict verdict;
    if (!ctdbResult_)
        return verdict;
    switch (ctdbResult_->outcome) {
    case CtdbLookupResult::Outcome::Failed: verdict.Status = TDatabaseStatus::NoConnection; break;
    case CtdbLookupResult::Outcome::DiscNotFound:
        verdict.Status = TDatabaseStatus::NotInDatabase;
        break;
    case CtdbLookupResult::Outcome::Found: {
        if (!ctdbToc_ || !disc_)
            break;
        const std::vector<const disc::Track*> audio = disc_->AudioTracks();
        const auto found = std::find_if(audio.begin(), audio.end(), [track](const disc::Track* t) {
            return t->number == track;
        });
        if (found == audio.end())
            break;
        const auto index = static_cast<std::size_t>(found - audio.begin());
        TCtdbMatches matches;
        std::optional<ctdb::CtdbShiftedCrcs> shifted;
        for (const ctdb::CtdbEntry& entry : ctdbResult_->entries) {
            if (!Usable(entry, *ctdbToc_) || entry.trackCrcs.size() != audio.size())
                continue;
            matches.Known = true;
            // Sums over audio that was cut short or ran long prove nothing.
            if (!sums.complete)
                continue;
            const std::uint32_t wanted = entry.trackCrcs[index];
            std::optional<int> at;
            if (wanted == sums.ctdbCrc) {
                at = 0;
            } else {
                // Another pressing: the whole disc's alignment first, then
                // any near enough for a single track.
                if (!shifted)
                    shifted = ShiftedCrcs();
                const auto trackAt = [&](int o) { return shifted->TrackCrc(index, o); };
                const std::optional<int> disc =
                    NearestOffset(ctdb::kDiscOffsetRange, entry.crc32,
                                  [&](int o) { return shifted->DiscCrc(o); });
                if (disc && trackAt(*disc) == wanted)
                    at = disc;
                else
                    at = NearestOffset(ctdb::kTrackOffsetRange, wanted, trackAt);
            }
            if (at)
                matches.Add(entry, *at);
        }
        verdict = matches.Verdict();
        break;
    }
    }
    return verdict;
}

TCtdbDiscVerdict TRipVerification::CtdbDiscVerdict() const
{
    TCtdbDiscVerdict result;
    if (!ctdbResult_ || !disc_ || !ctdbToc_) {
        result.Detail = QStringLiteral("CTDB 查询尚未完成");
        return result;
    }
    if (ctdbResult_->outcome == CtdbLookupResult::Outcome::Failed) {
        result.Verdict.Status = TDatabaseStatus::NoConnection;
        result.Detail = ctdbResult_->error;
        return result;
    }
    // The disc's window is the tracks' windows one after the other.
    quint32 crc = 0;
    for (const disc::Track* track : disc_->AudioTracks()) {
        const auto found = tracks_.find(track->number);
        if (found == tracks_.end() || !found->second.Checksums.complete) {
            result.Detail = QStringLiteral("并非每条音轨都已完整抓取");
            return result;
        }
        const verify::TrackPlace place = PlaceOf(track->number);
        const std::int64_t to = place.ctdbTo < 0 ? found->second.Checksums.samples : place.ctdbTo;
        if (to <= place.ctdbFrom) {
            result.Detail = QStringLiteral("光盘太短");
            return result;
        }
        crc = Crc32Combine(crc, found->second.Checksums.ctdbCrc,
                           static_cast<std::uint64_t>(to - place.ctdbFrom) * 4);
    }
    result.Crc = crc;
    if (ctdbResult_->outcome == CtdbLookupResult::Outcome::DiscNotFound) {
        result.Verdict.Status = TDatabaseStatus::NotInDatabase;
        return result;
    }
    TCtdbMatches matches;
    std::optional<ctdb::CtdbShiftedCrcs> shifted;
    for (const ctdb::CtdbEntry& entry : ctdbResult_->entries) {
        if (!Usable(entry, *ctdbToc_))
            continue;
        matches.Known = true;
        std::optional<int> at;
        if (entry.crc32 == crc) {
            at = 0;
        } else {
            // Another pressing: the same audio shifted by up to 10 sectors.
            if (!shifted)
                shifted = ShiftedCrcs();
            at = NearestOffset(ctdb::kDiscOffsetRange, entry.crc32,
                               [&](int o) { return shifted->DiscCrc(o); });
        }
        if (at)
            matches.Add(entry, *at);
    }
    result.Verdict = matches.Verdict();
    return result;
}

void TRipVerification::Prove(TTrackVerification& verification) const
{
    std::vector<qint64> suspicious;
    for (const TCDSectorProblem& problem : verification.Report.Problems)
        if (problem.Problem == TCDSectorProblem::Suspicious)
            suspicious.push_back(problem.Sector);
    verification.Typed.Proof =
        ProveRead(verification.Typed, verification.Checksums.complete, verification.Checksums.crc32,
                  verification.OtherReads, verification.Report.Proven,
                  verification.Report.Suspicious > 0, suspicious);
}

void TRipVerification::Judge(int track, TTrackVerification& verification)
{
    verify::AccurateRipVerdict verdict =
        VerdictForTrack(*lookupResult_, track, verification.Checksums.accurateRipV1,
                        verification.Checksums.accurateRipV2);
    // Sums over audio that was cut short or ran long prove nothing.
    if (!verification.Checksums.complete && verdict.status == verify::AccurateRipStatus::Match)
        verdict = verify::AccurateRipVerdict{verify::AccurateRipStatus::Mismatch, 0,
                                             verify::AccurateRipVersion::None};
    verification.Verdict = verdict;
    verification.Typed.AccurateRip = FromAccurateRip(verdict);
    verification.Typed.Ctdb = CtdbTrackVerdict(track, verification.Checksums);
    // Track 0, the audio hidden before track 1, is in neither database: only
    // its reads can prove it.
    if (track == 0)
        verification.Typed.AccurateRip = verification.Typed.Ctdb = TDatabaseVerdict{};
    Prove(verification);
    emit TrackVerified(track, VerdictCellText(verification.Typed));
    if (!Pending())
        emit Settled();
}

} // namespace sonfeld::app
