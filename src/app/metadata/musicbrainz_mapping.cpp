#include "musicbrainz_mapping.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

namespace sonfeld::app::metadata {

namespace {

struct TCredit {
    QString name;     // the names joined with their join phrases
    QString sortName; // the artists' sort names joined the same way
    QStringList ids;  // every artist's MBID
    QStringList names;
};

TCredit JoinCredit(const QJsonArray& credit)
{
    TCredit joined;
    for (const auto& entry : credit) {
        const QJsonObject part = entry.toObject();
        const QJsonObject artist = part.value(QLatin1String("artist")).toObject();
        QString name = part.value(QLatin1String("name")).toString();
        if (name.isEmpty())
            name = artist.value(QLatin1String("name")).toString();
        QString sortName = artist.value(QLatin1String("sort-name")).toString();
        if (sortName.isEmpty())
            sortName = name;
        const QString join = part.value(QLatin1String("joinphrase")).toString();
        joined.name += name + join;
        joined.sortName += sortName + join;
        const QString id = artist.value(QLatin1String("id")).toString();
        if (!id.isEmpty() && !joined.ids.contains(id))
            joined.ids.append(id);
        if (!name.isEmpty())
            joined.names.append(name);
    }
    return joined;
}

QString Lines(const QStringList& values)
{
    return values.join(QLatin1Char('\n'));
}

bool MediumListsDisc(const QJsonObject& medium, const QString& discId)
{
    if (discId.isEmpty())
        return false;
    for (const auto& disc : medium.value(QLatin1String("discs")).toArray()) {
        if (disc.toObject().value(QLatin1String("id")).toString() == discId)
            return true;
    }
    return false;
}

int MediumTrackCount(const QJsonObject& medium)
{
    const QJsonValue count = medium.value(QLatin1String("track-count"));
    if (count.isDouble())
        return count.toInt();
    return static_cast<int>(medium.value(QLatin1String("tracks")).toArray().size());
}

// The index of the medium that was inserted, or -1 when there is none.
qsizetype MatchingMedium(const QJsonArray& media, const QString& discId, int trackCount)
{
    for (qsizetype i = 0; i < media.size(); ++i) {
        if (MediumListsDisc(media[i].toObject(), discId))
            return i;
    }
    for (qsizetype i = 0; i < media.size(); ++i) {
        if (trackCount > 0 && MediumTrackCount(media[i].toObject()) == trackCount)
            return i;
    }
    return media.isEmpty() ? -1 : 0;
}

QString FirstLabelField(const QJsonArray& labelInfo, bool catalogNumber)
{
    for (const auto& entry : labelInfo) {
        const QJsonObject info = entry.toObject();
        QString text = catalogNumber ? info.value(QLatin1String("catalog-number")).toString()
                                     : info.value(QLatin1String("label"))
                                           .toObject()
                                           .value(QLatin1String("name"))
                                           .toString();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

TTrackMetadata MapTrack(const QJsonObject& track, int fallbackNumber, const TCredit& albumCredit)
{
    TTrackMetadata mapped;
    const int position = track.value(QLatin1String("position")).toInt();
    mapped.number = position > 0 ? position : fallbackNumber;
    const QJsonObject recording = track.value(QLatin1String("recording")).toObject();
    mapped.title.value = track.value(QLatin1String("title")).toString();
    if (mapped.title.value.isEmpty())
        mapped.title.value = recording.value(QLatin1String("title")).toString();
    QJsonArray credit = track.value(QLatin1String("artist-credit")).toArray();
    if (credit.isEmpty())
        credit = recording.value(QLatin1String("artist-credit")).toArray();
    const TCredit artist = credit.isEmpty() ? albumCredit : JoinCredit(credit);
    mapped.artist.value = artist.name;
    mapped.artistId.value = Lines(artist.ids);
    mapped.artists.value = Lines(artist.names);
    mapped.artistSort.value = artist.sortName;
    QStringList isrcs;
    for (const auto& isrc : recording.value(QLatin1String("isrcs")).toArray())
        if (!isrc.toString().isEmpty())
            isrcs.append(isrc.toString());
    if (!isrcs.isEmpty())
        mapped.isrc.value = isrcs.first();
    mapped.isrcs.value = Lines(isrcs);
    mapped.recordingId.value = recording.value(QLatin1String("id")).toString();
    mapped.releaseTrackId.value = track.value(QLatin1String("id")).toString();
    return mapped;
}

TReleaseCandidate MapRelease(const QJsonObject& release, const QString& discId, int trackCount)
{
    TReleaseCandidate candidate;
    const TCredit credit = JoinCredit(release.value(QLatin1String("artist-credit")).toArray());
    const QJsonArray labelInfo = release.value(QLatin1String("label-info")).toArray();
    candidate.releaseId = release.value(QLatin1String("id")).toString();
    candidate.artist = credit.name;
    candidate.title = release.value(QLatin1String("title")).toString();
    candidate.date = release.value(QLatin1String("date")).toString();
    candidate.country = release.value(QLatin1String("country")).toString();
    candidate.barcode = release.value(QLatin1String("barcode")).toString();
    candidate.label = FirstLabelField(labelInfo, false);
    candidate.catalogNumber = FirstLabelField(labelInfo, true);
    candidate.hasFrontCover = release.value(QLatin1String("cover-art-archive"))
                                  .toObject()
                                  .value(QLatin1String("front"))
                                  .toBool();

    TAlbumMetadata& album = candidate.metadata.album;
    album.source = TMetadataSource::MusicBrainz;
    album.albumArtist.value = candidate.artist;
    album.albumArtistId.value = Lines(credit.ids);
    album.albumArtistSort.value = credit.sortName;
    if (credit.ids.contains(QLatin1String(kVariousArtistsId)))
        album.compilation.value = QStringLiteral("1");
    album.releaseStatus.value = release.value(QLatin1String("status")).toString().toLower();
    album.script.value = release.value(QLatin1String("text-representation"))
                             .toObject()
                             .value(QLatin1String("script"))
                             .toString();
    const QJsonObject group = release.value(QLatin1String("release-group")).toObject();
    QStringList types;
    if (!group.value(QLatin1String("primary-type")).toString().isEmpty())
        types.append(group.value(QLatin1String("primary-type")).toString().toLower());
    for (const auto& type : group.value(QLatin1String("secondary-types")).toArray())
        if (!type.toString().isEmpty())
            types.append(type.toString().toLower());
    album.releaseType.value = Lines(types);
    album.originalDate.value = group.value(QLatin1String("first-release-date")).toString();
    album.album.value = candidate.title;
    album.date.value = candidate.date;
    album.country.value = candidate.country;
    album.barcode.value = candidate.barcode;
    album.label.value = candidate.label;
    album.catalogNumber.value = candidate.catalogNumber;
    album.releaseId.value = candidate.releaseId;
    album.releaseGroupId.value = group.value(QLatin1String("id")).toString();

    const QJsonArray media = release.value(QLatin1String("media")).toArray();
    const qsizetype chosen = MatchingMedium(media, discId, trackCount);
    if (chosen < 0)
        return candidate;
    const QJsonObject medium = media[chosen].toObject();
    candidate.trackCount = MediumTrackCount(medium);
    const int position = medium.value(QLatin1String("position")).toInt();
    album.discNumber.value = QString::number(position > 0 ? position : chosen + 1);
    album.discTotal.value = QString::number(media.size());
    album.media.value = medium.value(QLatin1String("format")).toString();
    album.discSubtitle.value = medium.value(QLatin1String("title")).toString();
    const QJsonArray tracks = medium.value(QLatin1String("tracks")).toArray();
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        candidate.metadata.tracks.append(
            MapTrack(tracks[i].toObject(), static_cast<int>(i + 1), credit));
    }
    return candidate;
}

} // namespace

TMusicBrainzMapping MapDiscIdAnswer(const QByteArray& json, const QString& discId, int trackCount,
                                    const TParseBudget& budget)
{
    TMusicBrainzMapping mapping;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        mapping.problem = error.errorString();
        return mapping;
    }
    const QJsonObject root = document.object();
    const QJsonValue releases = root.value(QLatin1String("releases"));
    if (!document.isObject() || !releases.isArray()) {
        mapping.problem = QStringLiteral("no release list");
        return mapping;
    }
    mapping.valid = true;
    for (const auto& release : releases.toArray()) {
        if (budget.Spent()) {
            mapping = TMusicBrainzMapping{};
            mapping.overBudget = true;
            mapping.problem = QStringLiteral("reading the answer took too long");
            return mapping;
        }
        if (release.isObject())
            mapping.candidates.append(MapRelease(release.toObject(), discId, trackCount));
    }
    return mapping;
}

} // namespace sonfeld::app::metadata
