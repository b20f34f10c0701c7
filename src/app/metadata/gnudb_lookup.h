#pragma once

#include "disc_key.h"
#include "disc_metadata.h"
#include "lookup_options.h"
#include "musicbrainz_lookup.h"

#include <QList>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

// One entry the server matched to the disc.
struct TGnudbCandidate {
    QString category;
    QString discId;
    bool inexact = false; // matched by track lengths only (answer 211)
    TDiscMetadata metadata;
};

struct TGnudbResult {
    TLookupStatus status = TLookupStatus::Failed;
    TDiscMetadata metadata;            // the first candidate's
    QList<TGnudbCandidate> candidates; // every match that could be read, in the server's order
    TMessage message;                  // why it failed, in the user's words
};

// Shown beside a match found by track lengths only.
inline constexpr char kInexactMatch[] = QT_TRANSLATE_NOOP("sonfeld", "按时长近似匹配");
inline const QString kInexactMatchText = QString::fromUtf8(kInexactMatch);
// At most this many matches are read: each is one more request.
inline constexpr int kMaxGnudbCandidates = 10;

// "cddb query <id> <count> <offsets...> <seconds>" for the disc.
QString GnudbQueryCommand(const TDiscKey& disc);
// /~cddb/cddb.cgi?cmd=<command>&hello=<user host client version>&proto=6, "+" for spaces.
QString GnudbTarget(const TLookupOptions& options, const QString& command);

// "cddb query", then "cddb read" of every match (exact before inexact, as the
// server lists them), one after the other. Found when at least one entry
// could be read. done runs once, unless context is destroyed first.
void LookupGnudb(QNetworkAccessManager& network, const TLookupOptions& options,
                 const TDiscKey& disc, QObject* context,
                 std::function<void(const TGnudbResult&)> done);

} // namespace sonfeld::app::metadata
