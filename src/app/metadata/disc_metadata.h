#pragma once

#include <QList>
#include <QString>

// The names of one disc: album-wide fields and one entry per track. Every
// field the user may type carries a mark, so that a later lookup never
// overwrites what the user wrote.
namespace sonfeld::app::metadata {

struct TTextField {
    QString value;
    bool userEdited = false;

    // What the user typed: kept through every later lookup.
    void SetByUser(const QString& text)
    {
        value = text;
        userEdited = true;
    }
};

enum class TMetadataSource { None, MusicBrainz, Gnudb, CdText, Manual };

// "MusicBrainz", "gnudb", "CD-TEXT", "手动", or an empty text for None.
QString SourceText(TMetadataSource source);

struct TAlbumMetadata {
    TTextField albumArtist;
    TTextField album;
    TTextField date; // "yyyy" or "yyyy-mm-dd"
    TTextField genre;
    TTextField discNumber;
    TTextField discTotal;
    TTextField label;
    TTextField catalogNumber;
    TTextField barcode;
    TTextField country;
    TTextField comment; // the xmcd EXTD text
    TTextField releaseId;
    TTextField releaseGroupId;
    TTextField albumArtistId; // every artist of the credit, one per line
    TTextField albumArtistSort;
    TTextField releaseStatus; // "official", ...
    TTextField releaseType;   // the primary type and the secondary ones, one per line
    TTextField media;         // the inserted medium's format, "CD"
    TTextField discSubtitle;  // the inserted medium's title
    TTextField originalDate;  // the release group's first release
    TTextField script;        // "Latn", "Hani", ...
    TTextField compilation;   // "1" for an album of various artists
    TMetadataSource source = TMetadataSource::None;

    // The first four characters of the date when they are a year, else empty.
    QString Year() const;
};

struct TTrackMetadata {
    int number = 0; // position on the disc, from 1
    TTextField title;
    TTextField artist;
    TTextField isrc; // the first, or the one the disc carries
    TTextField recordingId;
    TTextField releaseTrackId;
    TTextField artistId; // every artist of the credit, one per line
    TTextField artists;  // each artist's name, one per line
    TTextField artistSort;
    TTextField composer;
    TTextField isrcs; // every ISRC of the recording, one per line
};

// MusicBrainz's "Various Artists".
inline constexpr const char* kVariousArtistsId = "89ad4ac3-39f7-470e-963a-56509c546377";

struct TDiscMetadata {
    TAlbumMetadata album;
    QList<TTrackMetadata> tracks;

    bool IsEmpty() const;
    bool HasUserEdits() const;
};

// The album's fields and a track's fields in one fixed order, so storage and
// merging visit every field without listing them twice.
QList<TTextField*> Fields(TAlbumMetadata& album);
QList<const TTextField*> Fields(const TAlbumMetadata& album);
QList<TTextField*> Fields(TTrackMetadata& track);
QList<const TTextField*> Fields(const TTrackMetadata& track);

// found applied whole over current: every field the user did not edit takes
// the found text, and is empty where found has none, so nothing of an earlier
// release or source stays. Tracks are paired by position; the user's fields of
// tracks found does not list stay too. The source becomes the found one.
// disc holds what the disc itself carries (its MCN as the barcode, the
// tracks' ISRCs): true of the disc whatever names it has, it stands where
// found gives neither.
TDiscMetadata ApplyLookup(const TDiscMetadata& current, const TDiscMetadata& found,
                          const TDiscMetadata& disc = {});

} // namespace sonfeld::app::metadata
