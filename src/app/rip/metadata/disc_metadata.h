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
    TTextField albumArtistId;
    TMetadataSource source = TMetadataSource::None;

    // The first four characters of the date when they are a year, else empty.
    QString Year() const;
};

struct TTrackMetadata {
    int number = 0; // position on the disc, from 1
    TTextField title;
    TTextField artist;
    TTextField isrc;
    TTextField recordingId;
    TTextField releaseTrackId;
    TTextField artistId;
};

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

// found applied over current: a field the user edited keeps its text; every
// other field takes the found text when there is one. Tracks are paired by
// position; tracks only current has stay as they are. The source becomes the
// found one.
TDiscMetadata MergeLookup(const TDiscMetadata& current, const TDiscMetadata& found);

} // namespace sonfeld::app::metadata
