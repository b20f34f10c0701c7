#include "full_tags.h"

#include "app/settings/setting_keys.h"
#include "app/text/plain_text.h"

#include <QStringList>

namespace sonfeld::app {

namespace {

// No control character reaches a tag: a player shows it or sends it to a terminal.
std::string Utf8(const QString& text)
{
    return StripControls(text).trimmed().toStdString();
}

// A field of several values, one per line, each cleaned like a text.
std::string Lines(const QString& text)
{
    QStringList values;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString value = StripControls(line).trimmed();
        if (!value.isEmpty())
            values.append(value);
    }
    return values.join(QLatin1Char('\n')).toStdString();
}

int Number(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

int id3VersionForThisRun = 0; // 0: the setting's

} // namespace

int Id3VersionForTags()
{
    if (id3VersionForThisRun != 0)
        return id3VersionForThisRun;
    return Read(key::kId3Version).trimmed() == QLatin1String("2.3") ? 3 : 4;
}

void SetId3VersionForThisRun(int version)
{
    id3VersionForThisRun = version;
}

TrackTags FullTagsOf(const metadata::TDiscNames* names, int track, int trackTotal,
                     const QString& rowName, const QString& albumText, bool withCover)
{
    TrackTags tags;
    tags.title = Utf8(rowName);
    tags.album = Utf8(albumText);
    tags.trackNumber = track;
    tags.trackTotal = trackTotal;
    tags.id3Version = Id3VersionForTags();
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
    tags.musicBrainzAlbumArtistId = Lines(album.albumArtistId.value);
    tags.albumArtistSort = Utf8(album.albumArtistSort.value);
    tags.musicBrainzReleaseGroupId = Utf8(album.releaseGroupId.value);
    tags.releaseCountry = Utf8(album.country.value);
    tags.releaseStatus = Utf8(album.releaseStatus.value);
    tags.releaseType = Lines(album.releaseType.value);
    tags.media = Utf8(album.media.value);
    tags.discSubtitle = Utf8(album.discSubtitle.value);
    tags.originalDate = Utf8(album.originalDate.value);
    tags.script = Utf8(album.script.value);
    tags.compilation = album.compilation.value.trimmed() == QLatin1String("1");
    if (!tags.musicBrainzAlbumId.empty())
        tags.musicBrainzDiscId = Utf8(names->Key().musicBrainzDiscId);
    for (const metadata::TTrackMetadata& entry : names->Metadata().tracks) {
        if (entry.number != track)
            continue;
        if (!entry.title.value.trimmed().isEmpty())
            tags.title = Utf8(entry.title.value);
        if (!entry.artist.value.trimmed().isEmpty()) {
            tags.artist = Utf8(entry.artist.value);
            tags.artists = Lines(entry.artists.value);
            tags.artistSort = Utf8(entry.artistSort.value);
        }
        tags.composer = Utf8(entry.composer.value);
        // Every ISRC of the recording, unless the disc carries another one.
        tags.isrc = Utf8(entry.isrc.value);
        const std::string isrcs = Lines(entry.isrcs.value);
        if (!isrcs.empty() &&
            (tags.isrc.empty() ||
             entry.isrcs.value.split(QLatin1Char('\n')).contains(entry.isrc.value.trimmed())))
            tags.isrc = isrcs;
        tags.musicBrainzRecordingId = Utf8(entry.recordingId.value);
        tags.musicBrainzReleaseTrackId = Utf8(entry.releaseTrackId.value);
        tags.musicBrainzArtistId = Lines(entry.artistId.value);
    }
    if (withCover && names->HasCover()) {
        const QByteArray& cover = names->Cover().data;
        tags.cover.assign(cover.begin(), cover.end());
        tags.coverMimeType = names->Cover().mimeType.toStdString();
    }
    return tags;
}

} // namespace sonfeld::app
