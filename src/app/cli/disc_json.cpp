#include "disc_json.h"

#include <QJsonArray>

#include "app/metadata/disc_names.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/disc/disc_ids.h"

namespace sonfeld::app {

namespace {

QJsonValue TextOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue TextOrNull(const std::string& text)
{
    return TextOrNull(QString::fromStdString(text));
}

const disc::Track* ModelTrack(const std::optional<disc::DiscModel>& model, int number)
{
    if (!model)
        return nullptr;
    for (const disc::Track& track : model->tracks)
        if (track.number == number)
            return &track;
    return nullptr;
}

QJsonObject NamesJson(const metadata::TDiscNames& names)
{
    const metadata::TAlbumMetadata& album = names.Metadata().album;
    QJsonObject object{
        {QStringLiteral("source"), TextOrNull(metadata::SourceText(album.source))},
        {QStringLiteral("album_artist"), TextOrNull(album.albumArtist.value)},
        {QStringLiteral("album"), TextOrNull(album.album.value)},
        {QStringLiteral("date"), TextOrNull(album.date.value)},
        {QStringLiteral("genre"), TextOrNull(album.genre.value)},
        {QStringLiteral("disc_number"), TextOrNull(album.discNumber.value)},
        {QStringLiteral("disc_total"), TextOrNull(album.discTotal.value)},
        {QStringLiteral("label"), TextOrNull(album.label.value)},
        {QStringLiteral("catalog_number"), TextOrNull(album.catalogNumber.value)},
        {QStringLiteral("barcode"), TextOrNull(album.barcode.value)},
        {QStringLiteral("comment"), TextOrNull(album.comment.value)},
    };
    QJsonArray releases;
    for (qsizetype i = 0; i < names.Candidates().size(); ++i) {
        const metadata::TReleaseCandidate& release = names.Candidates()[i];
        releases.append(QJsonObject{
            {QStringLiteral("number"), static_cast<int>(i + 1)},
            {QStringLiteral("chosen"), i == names.ChosenIndex()},
            {QStringLiteral("release_id"), TextOrNull(release.releaseId)},
            {QStringLiteral("artist"), TextOrNull(release.artist)},
            {QStringLiteral("title"), TextOrNull(release.title)},
            {QStringLiteral("date"), TextOrNull(release.date)},
            {QStringLiteral("country"), TextOrNull(release.country)},
            {QStringLiteral("label"), TextOrNull(release.label)},
            {QStringLiteral("catalog_number"), TextOrNull(release.catalogNumber)},
            {QStringLiteral("barcode"), TextOrNull(release.barcode)},
            {QStringLiteral("track_count"), release.trackCount},
            {QStringLiteral("note"), TextOrNull(release.note)},
        });
    }
    object.insert(QStringLiteral("releases"), releases);
    return object;
}

} // namespace

QJsonObject DiscJson(int drive, const TTrackListModel& rows,
                     const std::optional<disc::DiscModel>& model, const metadata::TDiscNames* names)
{
    QJsonArray tracks;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const int number = rows.TrackNumberOfRow(row);
        QJsonObject track{
            {QStringLiteral("track"), number},
            {QStringLiteral("label"), rows.Label(row)},
            {QStringLiteral("name"), rows.Name(row)},
            {QStringLiteral("time"), rows.TimeText(row)},
            {QStringLiteral("frames"), rows.LengthFrames(row)},
            {QStringLiteral("seconds"), rows.LengthFrames(row) / 75.0},
            {QStringLiteral("data"), rows.IsData(row)},
        };
        QJsonValue title;
        QJsonValue artist;
        if (names != nullptr)
            for (const metadata::TTrackMetadata& named : names->Metadata().tracks)
                if (named.number == number) {
                    title = TextOrNull(named.title.value);
                    artist = TextOrNull(named.artist.value);
                }
        track.insert(QStringLiteral("title"), title);
        track.insert(QStringLiteral("artist"), artist);
        if (const disc::Track* toc = ModelTrack(model, number)) {
            track.insert(QStringLiteral("start_sector"), toc->startLsn);
            track.insert(QStringLiteral("pregap_sectors"), toc->PregapSectors());
            track.insert(QStringLiteral("isrc"), TextOrNull(toc->isrc));
            track.insert(QStringLiteral("cd_text_title"), TextOrNull(toc->text.title));
        }
        tracks.append(track);
    }
    QJsonObject disc{{QStringLiteral("drive"), drive}, {QStringLiteral("tracks"), tracks}};
    if (model) {
        disc.insert(QStringLiteral("ids"),
                    QJsonObject{
                        {QStringLiteral("accuraterip"),
                         QString::fromStdString(disc::ComputeAccurateRipId(*model).Text())},
                        {QStringLiteral("musicbrainz"),
                         QString::fromStdString(disc::MusicBrainzId(*model))},
                        {QStringLiteral("freedb"),
                         QString::fromStdString(disc::FreedbIdText(disc::ComputeFreedbId(*model)))},
                    });
        disc.insert(QStringLiteral("mcn"), TextOrNull(model->mcn));
    } else {
        disc.insert(QStringLiteral("ids"), QJsonValue());
    }
    disc.insert(QStringLiteral("names"),
                names != nullptr ? QJsonValue(NamesJson(*names)) : QJsonValue());
    return disc;
}

} // namespace sonfeld::app
