#include "metadata_lookup.h"

#include "gnudb_lookup.h"
#include "request_spacing.h"

#include <QNetworkAccessManager>

namespace sonfeld::app::metadata {

namespace {

// A gnudb entry as the release chooser lists it. Its ID names the entry, so a
// choice is remembered; the names carry no release ID, so no cover is asked for.
TReleaseCandidate GnudbCandidate(const TGnudbCandidate& entry)
{
    TReleaseCandidate candidate;
    candidate.releaseId = QStringLiteral("gnudb:%1/%2").arg(entry.category, entry.discId);
    candidate.artist = entry.metadata.album.albumArtist.value;
    candidate.title = entry.metadata.album.album.value;
    candidate.date = entry.metadata.album.date.value;
    candidate.trackCount = static_cast<int>(entry.metadata.tracks.size());
    candidate.note = entry.inexact ? kInexactMatchText : QString();
    candidate.metadata = entry.metadata;
    return candidate;
}

} // namespace

// One lookup's replies are tied to this object: abandoning the lookup
// deletes it, and with it every callback still waiting.
class TMetadataLookup::TRun final : public QObject {
public:
    TRun(TMetadataLookup& owner, TLookupRequest request)
        : QObject(&owner), owner_(owner), request_(std::move(request))
    {
    }

    void Start()
    {
        LookupMusicBrainz(owner_.network_, owner_.spacing_, owner_.options_, request_.disc, this,
                          [this](const TMusicBrainzResult& result) { MusicBrainzDone(result); });
    }

private:
    void MusicBrainzDone(const TMusicBrainzResult& result)
    {
        if (result.status == TLookupStatus::Found) {
            TLookupResult found;
            found.status = TLookupStatus::Found;
            found.candidates = result.candidates;
            found.chosenIndex = ChosenCandidate(found.candidates, request_.chosenReleaseId);
            found.metadata = ApplyCandidate(request_.current, found.candidates[found.chosenIndex],
                                            request_.cdText);
            if (found.candidates.size() > 1) {
                found.message =
                    TMessage(QT_TRANSLATE_NOOP("sonfeld",
                                               "MusicBrainz 找到 %1 个发行版本，已用第 %2 个"))
                        .Arg(found.candidates.size())
                        .Arg(found.chosenIndex + 1);
            } else if (result.byDurations) {
                found.message = TMessage(
                    QT_TRANSLATE_NOOP("sonfeld", "已从 MusicBrainz 取得名称（按曲目时长匹配）"));
            } else {
                found.message = TMessage(QT_TRANSLATE_NOOP("sonfeld", "已从 MusicBrainz 取得名称"));
            }
            owner_.Report(this, found);
            return;
        }
        musicBrainzFailure_ = result.status == TLookupStatus::Failed ? result.message : TMessage();
        LookupGnudb(owner_.network_, owner_.options_, request_.disc, this,
                    [this](const TGnudbResult& gnudb) { GnudbDone(gnudb); });
    }

    void GnudbDone(const TGnudbResult& gnudb)
    {
        TLookupResult done;
        if (gnudb.status == TLookupStatus::Found) {
            done.status = TLookupStatus::Found;
            // Several matches, or one by track lengths only, are offered for choosing.
            if (gnudb.candidates.size() > 1 || gnudb.candidates.value(0).inexact) {
                for (const TGnudbCandidate& entry : gnudb.candidates)
                    done.candidates.append(GnudbCandidate(entry));
                done.chosenIndex = ChosenCandidate(done.candidates, request_.chosenReleaseId);
                done.metadata = ApplyCandidate(request_.current, done.candidates[done.chosenIndex],
                                               request_.cdText);
                done.message =
                    done.candidates.size() > 1
                        ? TMessage(
                              QT_TRANSLATE_NOOP("sonfeld", "gnudb 找到 %1 个条目，已用第 %2 个"))
                              .Arg(done.candidates.size())
                              .Arg(done.chosenIndex + 1)
                        : TMessage(QT_TRANSLATE_NOOP("sonfeld", "已从 gnudb 取得名称（%1）"))
                              .Arg(TMessage(kInexactMatch));
                owner_.Report(this, done);
                return;
            }
            done.metadata = ApplyLookup(request_.current, gnudb.metadata, request_.cdText);
            done.message = TMessage(QT_TRANSLATE_NOOP("sonfeld", "已从 gnudb 取得名称"));
            owner_.Report(this, done);
            return;
        }
        // Nothing online: the disc's own CD-TEXT, unless the window already
        // shows names from a lookup or the user.
        done.metadata = request_.current;
        const TMetadataSource shown = request_.current.album.source;
        const bool useCdText = !request_.cdText.IsEmpty() &&
                               (shown == TMetadataSource::None || shown == TMetadataSource::CdText);
        if (useCdText)
            done.metadata = ApplyLookup(request_.current, request_.cdText, request_.cdText);
        if (!musicBrainzFailure_.IsEmpty() || gnudb.status == TLookupStatus::Failed) {
            done.status = TLookupStatus::Failed;
            done.message = !musicBrainzFailure_.IsEmpty() ? musicBrainzFailure_ : gnudb.message;
        } else {
            done.status = TLookupStatus::NotFound;
            done.message = TMessage(
                useCdText ? QT_TRANSLATE_NOOP("sonfeld", "在线数据库中没有这张光盘，使用 CD-TEXT")
                          : QT_TRANSLATE_NOOP("sonfeld", "在线数据库中没有这张光盘"));
        }
        owner_.Report(this, done);
    }

    TMetadataLookup& owner_;
    TLookupRequest request_;
    TMessage musicBrainzFailure_;
};

TMetadataLookup::TMetadataLookup(QNetworkAccessManager& network, TRequestSpacing& spacing,
                                 TLookupOptions options, QObject* parent)
    : QObject(parent), network_(network), spacing_(spacing), options_(std::move(options))
{
}

TMetadataLookup::~TMetadataLookup() = default;

void TMetadataLookup::Start(const TLookupRequest& request)
{
    Cancel();
    run_ = new TRun(*this, request);
    running_ = true;
    run_->Start();
}

void TMetadataLookup::Cancel()
{
    delete run_;
    run_ = nullptr;
    running_ = false;
}

void TMetadataLookup::Report(TRun* run, const TLookupResult& result)
{
    if (run != run_)
        return;
    running_ = false;
    run_ = nullptr;
    // The run's callbacks are on the stack; it goes once they have returned.
    run->deleteLater();
    emit Finished(result);
}

TDiscMetadata ApplyCandidate(const TDiscMetadata& current, const TReleaseCandidate& candidate,
                             const TDiscMetadata& cdText)
{
    return ApplyLookup(current, candidate.metadata, cdText);
}

int ChosenCandidate(const QList<TReleaseCandidate>& candidates, const QString& releaseId)
{
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (!releaseId.isEmpty() && candidates[i].releaseId == releaseId)
            return static_cast<int>(i);
    }
    return candidates.isEmpty() ? -1 : 0;
}

TDiscMetadata MetadataFromCdText(const TCdText& cdText)
{
    TDiscMetadata metadata;
    metadata.album.source = TMetadataSource::CdText;
    metadata.album.album.value = cdText.title.trimmed();
    metadata.album.albumArtist.value = cdText.performer.trimmed();
    metadata.album.genre.value = cdText.genre.trimmed();
    metadata.album.barcode.value = cdText.barcode.trimmed();
    const qsizetype count = qMax(cdText.trackTitles.size(),
                                 qMax(cdText.trackPerformers.size(), cdText.trackIsrcs.size()));
    for (qsizetype i = 0; i < count; ++i) {
        TTrackMetadata track;
        track.number = static_cast<int>(i + 1);
        track.title.value = cdText.trackTitles.value(i).trimmed();
        track.artist.value = cdText.trackPerformers.value(i).trimmed();
        if (track.artist.value.isEmpty())
            track.artist.value = metadata.album.albumArtist.value;
        track.isrc.value = cdText.trackIsrcs.value(i).trimmed();
        track.composer.value = cdText.trackComposers.value(i).trimmed();
        metadata.tracks.append(track);
    }
    return metadata;
}

} // namespace sonfeld::app::metadata
