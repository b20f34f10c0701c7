#include "full_tags.h"

#include "app/text/plain_text.h"

namespace sonfeld::app {

namespace {

// No control character reaches a tag: a player shows it or sends it to a terminal.
std::string Utf8(const QString& text)
{
    return StripControls(text).trimmed().toStdString();
}

int Number(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

} // namespace

TrackTags FullTagsOf(const metadata::TDiscNames* names, int track, int trackTotal,
                     const QString& rowName, const QString& albumText, bool withCover)
{
    TrackTags tags;
    tags.title = Utf8(rowName);
    tags.album = Utf8(albumText);
    tags.trackNumber = track;
    tags.trackTotal = trackTotal;
    if (names == nullptr)
        return tags;
    const metadata::TAlbumMetadata& album = names->Metadata().album;
    if (!album.album.value.trimmed().isEmpty())
        tags.album = Utf8(album.album.value);
    tags.albumArtist = Utf8(album.albumArtist.value);
    tags.artist = tags.albumArtist;
    tags.date = Utf8(album.date.value);
    tags.genre = Utf8(album.genre.value);
    tags.discNumber = Number(album.discNumber.value);
    tags.discTotal = Number(album.discTotal.value);
    tags.label = Utf8(album.label.value);
    tags.catalogNumber = Utf8(album.catalogNumber.value);
    tags.barcode = Utf8(album.barcode.value);
    tags.comment = StripControls(album.comment.value, true).trimmed().toStdString();
    tags.musicBrainzAlbumId = Utf8(album.releaseId.value);
    tags.musicBrainzAlbumArtistId = Utf8(album.albumArtistId.value);
    if (!tags.musicBrainzAlbumId.empty())
        tags.musicBrainzDiscId = Utf8(names->Key().musicBrainzDiscId);
    for (const metadata::TTrackMetadata& entry : names->Metadata().tracks) {
        if (entry.number != track)
            continue;
        if (!entry.title.value.trimmed().isEmpty())
            tags.title = Utf8(entry.title.value);
        if (!entry.artist.value.trimmed().isEmpty())
            tags.artist = Utf8(entry.artist.value);
        tags.isrc = Utf8(entry.isrc.value);
        tags.musicBrainzRecordingId = Utf8(entry.recordingId.value);
        tags.musicBrainzReleaseTrackId = Utf8(entry.releaseTrackId.value);
        tags.musicBrainzArtistId = Utf8(entry.artistId.value);
    }
    if (withCover && names->HasCover()) {
        const QByteArray& cover = names->Cover().data;
        tags.cover.assign(cover.begin(), cover.end());
        tags.coverMimeType = names->Cover().mimeType.toStdString();
    }
    return tags;
}

} // namespace sonfeld::app
