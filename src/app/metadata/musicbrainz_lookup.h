#pragma once

#include "disc_key.h"
#include "lookup_options.h"
#include "release_candidate.h"

#include <QList>
#include <QString>

#include <functional>

#include "app/text/message.h"

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

class TRequestSpacing;

enum class TLookupStatus { Found, NotFound, Failed };

struct TMusicBrainzResult {
    TLookupStatus status = TLookupStatus::Failed;
    bool byDurations = false; // found by the TOC, not by the disc ID
    QList<TReleaseCandidate> candidates;
    TMessage message; // why it failed, in the user's words
};

inline const QString kMusicBrainzIncludes =
    QStringLiteral("artist-credits+labels+recordings+release-groups+isrcs");

// /ws/2/discid/<id>?inc=...&cdstubs=no&fmt=json, with &toc=... appended.
QString MusicBrainzDiscIdTarget(const QString& discId, const QString& toc = {});

// Asks by disc ID; an unknown ID is asked again with the TOC, which matches
// by track durations. Both requests wait their turn in spacing. done runs once,
// unless context is destroyed first.
void LookupMusicBrainz(QNetworkAccessManager& network, TRequestSpacing& spacing,
                       const TLookupOptions& options, const TDiscKey& disc, QObject* context,
                       std::function<void(const TMusicBrainzResult&)> done);

} // namespace sonfeld::app::metadata
