#pragma once

#include <QString>

// Where the lookups go and how they present themselves. The application keeps
// the three base addresses as text settings under these names; each service's
// own path is appended to them.
namespace sonfeld::app::metadata {

inline const QString kMusicBrainzServerKey = QStringLiteral("MusicBrainzServer");
inline const QString kDefaultMusicBrainzServer = QStringLiteral("https://musicbrainz.org");
inline const QString kGnudbServerKey = QStringLiteral("GnudbServer");
inline const QString kDefaultGnudbServer = QStringLiteral("https://gnudb.gnudb.org");
inline const QString kCoverArtServerKey = QStringLiteral("CoverArtServer");
inline const QString kDefaultCoverArtServer = QStringLiteral("https://coverartarchive.org");

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
    QString clientVersion = BuildVersion();
};

// A base address with its trailing slashes taken off, so a path can follow.
QString TrimmedBase(const QString& server);

} // namespace sonfeld::app::metadata
