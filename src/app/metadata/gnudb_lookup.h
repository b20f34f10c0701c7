#pragma once

#include "disc_key.h"
#include "disc_metadata.h"
#include "lookup_options.h"
#include "musicbrainz_lookup.h"

#include <QString>

#include <functional>

class QNetworkAccessManager;
class QObject;

namespace sonfeld::app::metadata {

struct TGnudbResult {
    TLookupStatus status = TLookupStatus::Failed;
    TDiscMetadata metadata;
    QString message; // why it failed, in the user's words
};

// "cddb query <id> <count> <offsets...> <seconds>" for the disc.
QString GnudbQueryCommand(const TDiscKey& disc);
// /~cddb/cddb.cgi?cmd=<command>&hello=<user host client version>&proto=6, "+" for spaces.
QString GnudbTarget(const TLookupOptions& options, const QString& command);

// "cddb query", then "cddb read" of the first match (exact before inexact,
// as the server lists them). done runs once, unless context is destroyed first.
void LookupGnudb(QNetworkAccessManager& network, const TLookupOptions& options,
                 const TDiscKey& disc, QObject* context,
                 std::function<void(const TGnudbResult&)> done);

} // namespace sonfeld::app::metadata
