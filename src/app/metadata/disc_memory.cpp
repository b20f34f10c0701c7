#include "disc_memory.h"

#include <QSettings>
#include <QStringList>
#include <QUrl>

namespace sonfeld::app::metadata {

namespace {

// Key names in the order of Fields(); changing one loses what was kept under it.
const QStringList& AlbumKeys()
{
    static const QStringList keys = {QStringLiteral("AlbumArtist"),
                                     QStringLiteral("Album"),
                                     QStringLiteral("Date"),
                                     QStringLiteral("Genre"),
                                     QStringLiteral("DiscNumber"),
                                     QStringLiteral("DiscTotal"),
                                     QStringLiteral("Label"),
                                     QStringLiteral("CatalogNumber"),
                                     QStringLiteral("Barcode"),
                                     QStringLiteral("Country"),
                                     QStringLiteral("Comment"),
                                     QStringLiteral("ReleaseId"),
                                     QStringLiteral("ReleaseGroupId"),
                                     QStringLiteral("AlbumArtistId"),
                                     QStringLiteral("AlbumArtistSort"),
                                     QStringLiteral("ReleaseStatus"),
                                     QStringLiteral("ReleaseType"),
                                     QStringLiteral("Media"),
                                     QStringLiteral("DiscSubtitle"),
                                     QStringLiteral("OriginalDate"),
                                     QStringLiteral("Script"),
                                     QStringLiteral("Compilation")};
    return keys;
}

const QStringList& TrackKeys()
{
    static const QStringList keys = {
        QStringLiteral("Title"),       QStringLiteral("Artist"),         QStringLiteral("Isrc"),
        QStringLiteral("RecordingId"), QStringLiteral("ReleaseTrackId"), QStringLiteral("ArtistId"),
        QStringLiteral("Artists"),     QStringLiteral("ArtistSort"),     QStringLiteral("Composer"),
        QStringLiteral("Isrcs")};
    return keys;
}

constexpr int kMaxTracks = 99;

// Disc IDs are made of letters, digits, ".", "_" and "-"; anything else is
// escaped so an odd ID cannot reach into another group.
QString DiscGroup(const QString& discId)
{
    return kDiscsGroup + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(discId, "._-"));
}

void WriteFields(QSettings& settings, const QStringList& keys,
                 const QList<const TTextField*>& fields)
{
    QStringList edited;
    for (qsizetype i = 0; i < keys.size() && i < fields.size(); ++i) {
        if (!fields[i]->value.isEmpty())
            settings.setValue(keys[i], fields[i]->value);
        if (fields[i]->userEdited)
            edited.append(keys[i]);
    }
    if (!edited.isEmpty())
        settings.setValue(kEditedKey, edited);
}

void ReadFields(const QSettings& settings, const QStringList& keys,
                const QList<TTextField*>& fields)
{
    const QStringList edited = settings.value(kEditedKey).toStringList();
    for (qsizetype i = 0; i < keys.size() && i < fields.size(); ++i) {
        fields[i]->value = settings.value(keys[i]).toString();
        fields[i]->userEdited = edited.contains(keys[i]);
    }
}

TMetadataSource SourceFromText(const QString& text)
{
    for (const TMetadataSource source : {TMetadataSource::MusicBrainz, TMetadataSource::Gnudb,
                                         TMetadataSource::CdText, TMetadataSource::Manual}) {
        if (SourceText(source) == text)
            return source;
    }
    return TMetadataSource::None;
}

} // namespace

TDiscMemory::TDiscMemory(QSettings& settings) : settings_(settings)
{
}

void TDiscMemory::Save(const QString& discId, const TDiscMetadata& metadata, int discTracks)
{
    if (discId.isEmpty())
        return;
    const QString chosen = ChosenRelease(discId);
    settings_.remove(DiscGroup(discId));
    settings_.beginGroup(DiscGroup(discId));
    if (!chosen.isEmpty())
        settings_.setValue(kChosenReleaseKey, chosen);
    settings_.setValue(kSourceKey, SourceText(metadata.album.source));
    // A disc has at most 99 tracks: an answer listing more must not fill the
    // settings file with names no disc uses.
    const qsizetype trackCount =
        qMin<qsizetype>(metadata.tracks.size(), qBound(0, discTracks, kMaxTracks));
    settings_.setValue(kTrackCountKey, trackCount);
    settings_.beginGroup(kAlbumGroup);
    WriteFields(settings_, AlbumKeys(), Fields(metadata.album));
    settings_.endGroup();
    for (qsizetype i = 0; i < trackCount; ++i) {
        settings_.beginGroup(kTrackGroupPrefix + QString::number(i + 1));
        WriteFields(settings_, TrackKeys(), Fields(metadata.tracks[i]));
        settings_.endGroup();
    }
    settings_.endGroup();
    settings_.sync();
}

std::optional<TDiscMetadata> TDiscMemory::Load(const QString& discId) const
{
    if (discId.isEmpty())
        return std::nullopt;
    settings_.beginGroup(DiscGroup(discId));
    if (!settings_.contains(kTrackCountKey)) {
        settings_.endGroup();
        return std::nullopt;
    }
    TDiscMetadata metadata;
    metadata.album.source = SourceFromText(settings_.value(kSourceKey).toString());
    const int trackCount = qBound(0, settings_.value(kTrackCountKey).toInt(), kMaxTracks);
    settings_.beginGroup(kAlbumGroup);
    ReadFields(settings_, AlbumKeys(), Fields(metadata.album));
    settings_.endGroup();
    for (int i = 0; i < trackCount; ++i) {
        TTrackMetadata track;
        track.number = i + 1;
        settings_.beginGroup(kTrackGroupPrefix + QString::number(i + 1));
        ReadFields(settings_, TrackKeys(), Fields(track));
        settings_.endGroup();
        metadata.tracks.append(track);
    }
    settings_.endGroup();
    return metadata;
}

void TDiscMemory::SaveChosenRelease(const QString& discId, const QString& releaseId)
{
    if (discId.isEmpty())
        return;
    settings_.setValue(DiscGroup(discId) + QLatin1Char('/') + kChosenReleaseKey, releaseId);
    settings_.sync();
}

QString TDiscMemory::ChosenRelease(const QString& discId) const
{
    if (discId.isEmpty())
        return {};
    return settings_.value(DiscGroup(discId) + QLatin1Char('/') + kChosenReleaseKey).toString();
}

void TDiscMemory::Forget(const QString& discId)
{
    if (discId.isEmpty())
        return;
    settings_.remove(DiscGroup(discId));
    settings_.sync();
}

} // namespace sonfeld::app::metadata
