#pragma once

#include "disc_key.h"
#include "disc_metadata.h"
#include "lookup_options.h"
#include "musicbrainz_lookup.h"
#include "release_candidate.h"

#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

namespace sonfeld::app::metadata {

class TRequestSpacing;

struct TLookupRequest {
    TDiscKey disc;
    TDiscMetadata current;   // what the window shows now, with the user's edits
    TDiscMetadata cdText;    // from the disc; empty when it has none
    QString chosenReleaseId; // remembered for the disc, empty when none
};

struct TLookupResult {
    // Found: names from MusicBrainz or gnudb applied. NotFound: no service
    // knows the disc. Failed: no service could be asked.
    TLookupStatus status = TLookupStatus::Failed;
    // The names to show: the found ones applied whole over current (only the
    // user's edits kept); CD-TEXT when nothing was found and nothing better was shown
    // before; else current unchanged.
    TDiscMetadata metadata;
    QList<TReleaseCandidate> candidates; // MusicBrainz releases or gnudb entries, for the chooser
    int chosenIndex = -1;                // the one applied, -1 when none
    TMessage message;                    // for the status bar
};

// Names for one disc, in order: MusicBrainz (by disc ID, then by TOC),
// gnudb when MusicBrainz has nothing or cannot be reached, CD-TEXT last.
// Asynchronous; never blocks. UI thread.
class TMetadataLookup final : public QObject {
    Q_OBJECT
public:
    // spacing must be the one object shared by all MusicBrainz requests.
    TMetadataLookup(QNetworkAccessManager& network, TRequestSpacing& spacing,
                    TLookupOptions options, QObject* parent = nullptr);
    ~TMetadataLookup() override;

    // Starts a lookup; one still running is abandoned and never reports.
    void Start(const TLookupRequest& request);
    void Cancel();
    bool Running() const { return running_; }

signals:
    void Finished(const sonfeld::app::metadata::TLookupResult& result);

private:
    class TRun;
    void Report(TRun* run, const TLookupResult& result);

    QNetworkAccessManager& network_;
    TRequestSpacing& spacing_;
    TLookupOptions options_;
    TRun* run_ = nullptr; // owned as a child; its replies die with it
    bool running_ = false;
};

// The release the user picked applied whole over current (the user's edits
// kept); cdText gives the disc's own MCN and ISRCs where the release has none.
TDiscMetadata ApplyCandidate(const TDiscMetadata& current, const TReleaseCandidate& candidate,
                             const TDiscMetadata& cdText = {});

// The candidate with that release ID, else 0 when there are candidates, else -1.
int ChosenCandidate(const QList<TReleaseCandidate>& candidates, const QString& releaseId);

// The names CD-TEXT gives the disc (source CD-TEXT); empty texts stay empty.
struct TCdText {
    QString title;
    QString performer;
    QString genre;
    QString barcode;
    QStringList trackTitles; // track 1 first
    QStringList trackPerformers;
    QStringList trackIsrcs;
    QStringList trackComposers; // the composer, else the songwriter
};
TDiscMetadata MetadataFromCdText(const TCdText& cdText);

} // namespace sonfeld::app::metadata
