#include "rip_verification.h"

#include "accuraterip_report.h"
#include "app/settings/setting_keys.h"
#include "audio/cd/disc/disc_ids.h"
#include "audio/cd/disc_model_reading.h"

namespace sonfeld::app {

TRipVerification::TRipVerification(QObject* parent) : QObject(parent)
{
    connect(&lookup_, &AccurateRipLookup::Finished, this, &TRipVerification::LookupFinished);
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
    disc_ = std::move(model);
    discId_ = id;
    if (sameDisc && (lookup_.Running() || lookupResult_))
        return;
    lookupResult_.reset();
    if (!id) {
        AccurateRipLookupResult failed;
        failed.error = QStringLiteral("The disc's table of contents could not be read");
        lookupResult_ = failed;
        return;
    }
    lookup_.Start(Read(key::kAccurateRipServer), *id);
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
    return place;
}

void TRipVerification::TrackRipped(int track, const verify::TrackChecksums& checksums,
                                   const TCDRipReport& report)
{
    TTrackVerification& verification = tracks_[track];
    verification = TTrackVerification{checksums, report, std::nullopt};
    if (lookupResult_)
        Judge(track, verification);
}

bool TRipVerification::Pending() const
{
    for (const auto& [track, verification] : tracks_)
        if (!verification.Verdict)
            return true;
    return false;
}

void TRipVerification::LookupFinished(const AccurateRipLookupResult& result)
{
    lookupResult_ = result;
    for (auto& [track, verification] : tracks_)
        if (!verification.Verdict)
            Judge(track, verification);
    emit LookupAnswered();
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
    emit TrackVerified(track, AccurateRipStatusText(verdict));
    if (!Pending())
        emit Settled();
}

} // namespace sonfeld::app
