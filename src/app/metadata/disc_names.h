#pragma once

#include "cover_art.h"
#include "disc_key.h"
#include "disc_metadata.h"
#include "metadata_lookup.h"
#include "release_candidate.h"

#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

namespace sonfeld::disc {
struct DiscModel;
}

namespace sonfeld::app::metadata {

class TRequestSpacing;

// The one owner of the selected disc's names: what the memory kept for it or
// its CD-TEXT, lookups applied whole except for the user's edits, the
// release chosen among several, and the front cover. Every change is kept per
// disc ID in the settings store. Never starts the network by itself: the
// caller decides when to Lookup(). UI thread.
class TDiscNames final : public QObject {
    Q_OBJECT
public:
    enum class TAlbumField {
        AlbumArtist,
        Album,
        Date,
        Genre,
        DiscNumber,
        DiscTotal,
        Label,
        CatalogNumber,
        Barcode,
        Comment
    };

    // spacing must be the program's one MusicBrainz request spacing.
    TDiscNames(QNetworkAccessManager& network, TRequestSpacing& spacing, QObject* parent = nullptr);
    ~TDiscNames() override;

    void SetDisc(const disc::DiscModel& model);
    void SetDisc(const TDiscKey& key, const TCdText& cdText);
    // No disc: no names, any lookup abandoned.
    void Clear();
    bool HasDisc() const { return !key_.StorageId().isEmpty(); }

    // Asks the services with the base addresses of the settings store. Ignored
    // without a disc; a lookup still running is abandoned.
    void Lookup();
    // Abandons a running lookup and cover fetch; the names stay as they are.
    void StopLookup();
    // A lookup or a cover fetch has not reported yet.
    bool Busy() const { return lookupRunning_ || coverRunning_; }

    // index among Candidates(); remembered for the disc and used again by its
    // next lookup. Out of range: ignored.
    void ChooseRelease(int index);
    const QList<TReleaseCandidate>& Candidates() const { return candidates_; }
    // The user picked a release for this disc before; lookups apply it again.
    bool ReleaseRemembered() const;

    // Drops everything kept for the disc (the names, the user's edits, the
    // chosen release) and shows the disc as when it was first seen: its own
    // CD-TEXT, no lookup applied. A running lookup is abandoned.
    void Forget();
    // What is set from now on is for this run only: nothing more is kept for
    // the disc (the command line's names). Ends with the next SetDisc.
    void ForThisRunOnly();
    int ChosenIndex() const { return chosenIndex_; }

    // What the user typed: kept through every later lookup.
    void SetAlbumField(TAlbumField field, const QString& text);
    // number is the track's position on the disc, from 1.
    void SetTrackTitle(int number, const QString& text);
    void SetTrackArtist(int number, const QString& text);

    const TDiscMetadata& Metadata() const { return metadata_; }
    const TDiscKey& Key() const { return key_; }
    TMetadataSource Source() const { return metadata_.album.source; }
    // The last lookup's outcome; Found only when a service knew the disc.
    TLookupStatus LastLookupStatus() const { return lastStatus_; }
    // Empty until a front cover was fetched for the names shown.
    const TCoverArt& Cover() const { return cover_; }
    // The user's own image (checked by the caller) as the front cover, until
    // the disc changes or its names are forgotten; lookups fetch none over it.
    void UseLocalCover(const TCoverArt& cover);
    bool HasCover() const { return !cover_.data.isEmpty(); }

signals:
    void Changed();
    // For the status bar: Chinese() for the terminal, Shown() for the window.
    void Status(const sonfeld::app::TMessage& message);
    void CandidatesFound();
    void CoverChanged();
    // Nothing is pending any more: Busy() has become false.
    void Settled();

private:
    void DropLookup();
    void LookupFinished(const TLookupResult& result);
    void FetchCover();
    void SetCover(const TCoverArt& cover);
    TTrackMetadata& Track(int number);
    void Remember();
    void EndBusy();

    QNetworkAccessManager& network_;
    TLookupOptions options_;
    TMetadataLookup* lookup_ = nullptr; // rebuilt per lookup, with the options of that moment
    TRequestSpacing& spacing_;
    TDiscKey key_;
    TDiscMetadata cdText_;
    TDiscMetadata metadata_;
    TCdText cdTextGiven_;
    bool forThisRunOnly_ = false;
    QList<TReleaseCandidate> candidates_;
    int chosenIndex_ = -1;
    TLookupStatus lastStatus_ = TLookupStatus::NotFound;
    TCoverArt cover_;
    bool localCover_ = false; // cover_ is the user's own
    QString coverReleaseId_;
    QObject* coverContext_ = nullptr; // dies with an abandoned fetch
    bool lookupRunning_ = false;
    bool coverRunning_ = false;
};

// The lookup options from the settings store (each base address, or its
// default while none is stored).
TLookupOptions StoredLookupOptions();

} // namespace sonfeld::app::metadata
