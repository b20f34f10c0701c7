#include "track_target.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/text/plain_text.h"
#include "app/tracks/track_list_model.h"

namespace sonfeld::app {

namespace {

const metadata::TTrackMetadata* FindTrack(const metadata::TDiscMetadata& names, int number)
{
    for (const metadata::TTrackMetadata& track : names.tracks)
        if (track.number == number)
            return &track;
    return nullptr;
}

} // namespace

metadata::TTemplateFields TemplateFieldsOf(const metadata::TDiscMetadata* names,
                                           const TTrackListModel& rows, int row,
                                           const QString& albumText)
{
    metadata::TTemplateFields fields;
    fields.title = rows.Name(row);
    fields.trackNumber = rows.TrackNumberOfRow(row);
    fields.hiddenTrack = fields.trackNumber == 0;
    // The hidden track 0 is no track of the album's count, and its own name names no disc.
    for (int other = 0; other < rows.rowCount(); ++other)
        if (!rows.IsData(other) && rows.TrackNumberOfRow(other) > 0)
            ++fields.trackTotal;
    fields.album = albumText;
    // Rows named by the disc's CD-TEXT, not by the user.
    for (int other = 0; other < rows.rowCount(); ++other)
        if (!rows.IsData(other) && !rows.Renamed(other) && rows.TrackNumberOfRow(other) > 0 &&
            rows.Name(other) != QStringLiteral("Track%1").arg(rows.TrackNumberOfRow(other)))
            fields.discNamed = true;
    if (names == nullptr)
        return fields;
    for (const metadata::TTrackMetadata& track : names->tracks)
        if (!track.title.value.trimmed().isEmpty() && !track.title.userEdited)
            fields.discNamed = true;
    const metadata::TAlbumMetadata& album = names->album;
    fields.albumArtist = album.albumArtist.value;
    if (!album.album.value.isEmpty())
        fields.album = album.album.value;
    fields.year = album.Year();
    fields.discNumber = album.discNumber.value.toInt();
    fields.discTotal = album.discTotal.value.toInt();
    const metadata::TTrackMetadata* track = FindTrack(*names, fields.trackNumber);
    fields.artist = track != nullptr && !track->artist.value.isEmpty() ? track->artist.value
                                                                       : album.albumArtist.value;
    return fields;
}

TTrackTarget TrackTarget(const QString& folder, const QString& pattern,
                         const metadata::TTemplateFields& fields, const QString& extension)
{
    TTrackTarget target;
    const bool plain = pattern == metadata::kDefaultFileNameTemplate;
    if (plain && !fields.discNamed) {
        if (TMessage problem = FileNameProblem(fields.title); !problem.IsEmpty()) {
            target.error = std::move(problem);
            return target;
        }
        target.path = TargetFileName(folder, fields.title, extension);
        target.relative = QFileInfo(target.path).fileName();
        return target;
    }
    const metadata::TTemplateResult result = metadata::ApplyFileNameTemplate(
        plain ? metadata::kNumberedFileNameTemplate : pattern, fields, metadata::kPortableNames);
    if (!result.error.IsEmpty()) {
        target.error = result.error;
        return target;
    }
    // Each name short enough for the file system, before anything is read.
    QStringList names = result.path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < names.size(); ++i)
        names[i] = metadata::FitName(names[i], i + 1 == names.size() ? extension : QString());
    const QString relative = names.join(QLatin1Char('/'));
    // The template has no "." or ".." of its own, but a name must never
    // leave the folder, whatever the template and the fields hold.
    const QString base = QDir::cleanPath(folder);
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    const QString path = QDir::cleanPath(prefix + relative + extension);
    if (!path.startsWith(prefix)) {
        target.error =
            TMessage(QT_TRANSLATE_NOOP("sonfeld", "按模板得到的路径“%1”不在输出文件夹中"))
                .Arg(QuotedInMessage(relative));
        return target;
    }
    target.relative = relative + extension;
    target.path = QDir::toNativeSeparators(path);
    return target;
}

TMessage CreateTargetFolders(const QString& target)
{
    const QString folder = QFileInfo(target).path();
    std::error_code error;
    std::filesystem::create_directories(FileSystemPath(folder), error);
    if (!std::filesystem::is_directory(FileSystemPath(folder), error))
        return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法创建文件夹“%1”。"))
            .Arg(QuotedInMessage(folder));
    return {};
}

TMessage TagsNotWritten(const std::string& reason)
{
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法写入标签：%1"))
        .Arg(QString::fromStdString(reason));
}

} // namespace sonfeld::app
