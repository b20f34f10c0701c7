#pragma once

#include <QString>

#include "app/settings/setting_keys.h"

// Where the lookups go and how they present themselves. The application keeps
// the three base addresses as text settings (key::kMusicBrainzServer,
// key::kGnudbServer, key::kCoverArtServer); each service's own path is
// appended to them.
namespace sonfeld::app::metadata {

inline const QString kDefaultMusicBrainzServer = QString::fromUtf8(key::kMusicBrainzServer.Default);
inline const QString kDefaultGnudbServer = QString::fromUtf8(key::kGnudbServer.Default);
inline const QString kDefaultCoverArtServer = QString::fromUtf8(key::kCoverArtServer.Default);

inline const QString kContactAddress = QStringLiteral("support@sonfeld.example.org");

// "Sonfeld/<version> ( support@sonfeld.example.org )", as MusicBrainz asks
// every client to identify itself.
QString MakeUserAgent(const QString& version);
// The build's version, and the User-Agent with it.
QString BuildVersion();
QString DefaultUserAgent();

struct TLookupOptions {
    QString musicBrainzServer = kDefaultMusicBrainzServer;
    QString gnudbServer = kDefaultGnudbServer; // empty: gnudb is not asked
    QString coverArtServer = kDefaultCoverArtServer;
    QString userAgent = DefaultUserAgent();
    int timeoutMs = 10000; // per request, from its start to its last byte
    // gnudb's "hello": a user and host the user can set, since gnudb may ban
    // a client by them.
    QString gnudbUser = QStringLiteral("sonfeld");
    QString gnudbHost = QStringLiteral("sonfeld.example.org");
    QString clientName = QStringLiteral("Sonfeld");
    QString clientVersion = BuildVersion();
};

// A base address with its trailing slashes taken off, so a path can follow.
QString TrimmedBase(const QString& server);

} // namespace sonfeld::app::metadata
