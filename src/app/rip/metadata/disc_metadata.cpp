#include "disc_metadata.h"

namespace sonfeld::app::metadata {

QString SourceText(TMetadataSource source)
{
    switch (source) {
    case TMetadataSource::MusicBrainz: return QStringLiteral("MusicBrainz");
    case TMetadataSource::Gnudb: return QStringLiteral("gnudb");
    case TMetadataSource::CdText: return QStringLiteral("CD-TEXT");
    case TMetadataSource::Manual: return QStringLiteral("手动");
    case TMetadataSource::None: break;
    }
    return {};
}

QString TAlbumMetadata::Year() const
{
    QString year = date.value.left(4);
    if (year.size() != 4)
        return {};
    for (const QChar c : year) {
        if (!c.isDigit())
            return {};
    }
    return year;
}

QList<TTextField*> Fields(TAlbumMetadata& album)
{
    return {&album.albumArtist,    &album.album,        &album.date,    &album.genre,
            &album.discNumber,     &album.discTotal,    &album.label,   &album.catalogNumber,
            &album.barcode,        &album.country,      &album.comment, &album.releaseId,
            &album.releaseGroupId, &album.albumArtistId};
}

QList<const TTextField*> Fields(const TAlbumMetadata& album)
{
    QList<const TTextField*> fields;
    for (TTextField* field : Fields(const_cast<TAlbumMetadata&>(album)))
        fields.append(field);
    return fields;
}

QList<TTextField*> Fields(TTrackMetadata& track)
{
    return {&track.title,       &track.artist,         &track.isrc,
            &track.recordingId, &track.releaseTrackId, &track.artistId};
}

QList<const TTextField*> Fields(const TTrackMetadata& track)
{
    QList<const TTextField*> fields;
    for (TTextField* field : Fields(const_cast<TTrackMetadata&>(track)))
        fields.append(field);
    return fields;
}

bool TDiscMetadata::IsEmpty() const
{
    for (const TTextField* field : Fields(album)) {
        if (!field->value.isEmpty())
            return false;
    }
    for (const TTrackMetadata& track : tracks) {
        for (const TTextField* field : Fields(track)) {
            if (!field->value.isEmpty())
                return false;
        }
    }
    return true;
}

bool TDiscMetadata::HasUserEdits() const
{
    for (const TTextField* field : Fields(album)) {
        if (field->userEdited)
            return true;
    }
    for (const TTrackMetadata& track : tracks) {
        for (const TTextField* field : Fields(track)) {
            if (field->userEdited)
                return true;
        }
    }
    return false;
}

namespace {

void MergeFields(const QList<TTextField*>& into, const QList<const TTextField*>& from)
{
    for (qsizetype i = 0; i < into.size() && i < from.size(); ++i) {
        if (!into[i]->userEdited && !from[i]->value.isEmpty())
            into[i]->value = from[i]->value;
    }
}

} // namespace

TDiscMetadata MergeLookup(const TDiscMetadata& current, const TDiscMetadata& found)
{
    TDiscMetadata merged = current;
    MergeFields(Fields(merged.album), Fields(found.album));
    merged.album.source = found.album.source;
    for (qsizetype i = 0; i < found.tracks.size(); ++i) {
        if (i < merged.tracks.size()) {
            MergeFields(Fields(merged.tracks[i]), Fields(found.tracks[i]));
        } else {
            merged.tracks.append(found.tracks[i]);
        }
        if (merged.tracks[i].number == 0)
            merged.tracks[i].number = found.tracks[i].number;
    }
    return merged;
}

} // namespace sonfeld::app::metadata
