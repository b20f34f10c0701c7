#include "disc_metadata.h"

#include <QtGlobal>

namespace sonfeld::app::metadata {

QString SourceText(TMetadataSource source)
{
    switch (source) {
    case TMetadataSource::MusicBrainz: return QStringLiteral("MusicBrainz");
    case TMetadataSource::Gnudb: return QStringLiteral("gnudb");
    case TMetadataSource::CdText: return QStringLiteral("CD-TEXT");
    // The only source named in words: the window shows it translated.
    case TMetadataSource::Manual: return QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "手动"));
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
    return {&album.albumArtist,    &album.album,         &album.date,
            &album.genre,          &album.discNumber,    &album.discTotal,
            &album.label,          &album.catalogNumber, &album.barcode,
            &album.country,        &album.comment,       &album.releaseId,
            &album.releaseGroupId, &album.albumArtistId, &album.albumArtistSort,
            &album.releaseStatus,  &album.releaseType,   &album.media,
            &album.discSubtitle,   &album.originalDate,  &album.script,
            &album.compilation};
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
    return {&track.title,          &track.artist,   &track.isrc,    &track.recordingId,
            &track.releaseTrackId, &track.artistId, &track.artists, &track.artistSort,
            &track.composer,       &track.isrcs};
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

void ApplyFields(const QList<TTextField*>& into, const QList<const TTextField*>& from)
{
    for (qsizetype i = 0; i < into.size(); ++i) {
        if (!into[i]->userEdited)
            into[i]->value = i < from.size() ? from[i]->value : QString();
    }
}

void FillFromDisc(TTextField& field, const TTextField& disc)
{
    if (!field.userEdited && field.value.isEmpty())
        field.value = disc.value;
}

} // namespace

TDiscMetadata ApplyLookup(const TDiscMetadata& current, const TDiscMetadata& found,
                          const TDiscMetadata& disc)
{
    TDiscMetadata applied = current;
    ApplyFields(Fields(applied.album), Fields(found.album));
    applied.album.source = found.album.source;
    FillFromDisc(applied.album.barcode, disc.album.barcode);
    const TTrackMetadata none;
    for (qsizetype i = 0; i < qMax(applied.tracks.size(), found.tracks.size()); ++i) {
        const TTrackMetadata& from = i < found.tracks.size() ? found.tracks[i] : none;
        if (i < applied.tracks.size())
            ApplyFields(Fields(applied.tracks[i]), Fields(from));
        else
            applied.tracks.append(from);
        TTrackMetadata& track = applied.tracks[i];
        if (track.number == 0)
            track.number = from.number > 0 ? from.number : static_cast<int>(i + 1);
        if (i < disc.tracks.size()) {
            FillFromDisc(track.isrc, disc.tracks[i].isrc);
            FillFromDisc(track.composer, disc.tracks[i].composer);
        }
    }
    return applied;
}

} // namespace sonfeld::app::metadata
