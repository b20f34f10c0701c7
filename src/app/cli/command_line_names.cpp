#include "command_line_names.h"

#include <QEventLoop>
#include <QTimer>
#include <utility>

#include "app/settings/setting_keys.h"
#include "app/text/plain_text.h"
#include "audio/cd/disc_model_reading.h"
#include "command_line_options.h"

namespace sonfeld::app {

namespace {

using metadata::TDiscNames;

// Each lookup request gives up by its own time-out; this only guards against
// a lookup that never reports.
constexpr int kLongestWaitMs = 120000;

QString Joined(const QStringList& parts)
{
    QStringList given;
    for (const QString& part : parts)
        if (!part.trimmed().isEmpty())
            given << part.trimmed();
    return given.join(QStringLiteral(", "));
}

} // namespace

TCommandLineNames::TCommandLineNames() : names_(network_, spacing_)
{
}

void TCommandLineNames::Prepare(int drive, const TCommandLine& command, bool userNames,
                                QTextStream& out, QTextStream& err)
{
    const std::optional<disc::DiscModel> model = ReadDiscModel(drive);
    if (!model) {
        names_.Clear();
        return;
    }
    names_.SetDisc(*model);
    if (command.ForgetNames && names_.HasDisc()) {
        names_.Forget();
        out << "Forgot the names kept for disc " << names_.Key().StorageId() << "." << Qt::endl;
    }
    LookUp(command, out, err);
    // The command's names are for this run: a later plain --rip of the disc
    // gets what the window and the lookups gave it, not these.
    if (userNames) {
        names_.ForThisRunOnly();
        ApplyUserNames(command, static_cast<int>(model->tracks.size()));
    }
}

void TCommandLineNames::LookUp(const TCommandLine& command, QTextStream& out, QTextStream& err)
{
    if (!command.Lookup.value_or(Read(key::kAutoLookup)))
        return;
    const QMetaObject::Connection status =
        QObject::connect(&names_, &TDiscNames::Status, [&out](const TMessage& message) {
            out << "Lookup: " << StripControls(message.Chinese()) << Qt::endl;
        });
    names_.Lookup();
    Wait();
    if (command.Release) {
        const int count = static_cast<int>(names_.Candidates().size());
        if (count == 0) {
            err << "--release " << *command.Release
                << ": the lookup found no releases; the names stay as they are." << Qt::endl;
        } else if (*command.Release > count) {
            QObject::disconnect(status);
            throw EUsageError("There is no release " + std::to_string(*command.Release) +
                              ": the lookup found " + std::to_string(count) + ".");
        } else {
            names_.ChooseRelease(*command.Release - 1);
            Wait();
        }
    }
    QObject::disconnect(status);
}

void TCommandLineNames::ApplyUserNames(const TCommandLine& command, int trackCount)
{
    using F = TDiscNames::TAlbumField;
    if (command.AlbumArtist) {
        // Tracks credited to the old album artist follow it to the new one.
        const QString old = names_.Metadata().album.albumArtist.value;
        QList<int> following;
        for (const metadata::TTrackMetadata& track : names_.Metadata().tracks)
            if (!old.isEmpty() && track.artist.value == old)
                following.append(track.number);
        names_.SetAlbumField(F::AlbumArtist, *command.AlbumArtist);
        for (const int track : following)
            names_.SetTrackArtist(track, *command.AlbumArtist);
    }
    if (command.Album)
        names_.SetAlbumField(F::Album, *command.Album);
    if (command.Year)
        names_.SetAlbumField(F::Date, *command.Year);
    if (command.Genre)
        names_.SetAlbumField(F::Genre, *command.Genre);
    if (command.DiscNumber)
        names_.SetAlbumField(F::DiscNumber, QString::number(*command.DiscNumber));
    if (command.DiscTotal)
        names_.SetAlbumField(F::DiscTotal, QString::number(*command.DiscTotal));
    if (command.Comment)
        names_.SetAlbumField(F::Comment, *command.Comment);
    if (command.Artist)
        for (int track = 1; track <= trackCount; ++track)
            names_.SetTrackArtist(track, *command.Artist);
    for (const auto& [track, name] : command.Names)
        if (track >= 1 && track <= trackCount)
            names_.SetTrackTitle(track, name);
}

void TCommandLineNames::Wait()
{
    if (!names_.Busy())
        return;
    QEventLoop loop;
    QObject::connect(&names_, &TDiscNames::Settled, &loop, &QEventLoop::quit);
    QTimer::singleShot(kLongestWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void PrintNames(const TDiscNames& names, QTextStream& out)
{
    const metadata::TDiscMetadata& metadata = names.Metadata();
    const metadata::TAlbumMetadata& album = metadata.album;
    const QString source = metadata::SourceText(album.source);
    out << "  Names from: " << (source.isEmpty() ? QStringLiteral("(none)") : source) << Qt::endl;
    if (!album.albumArtist.value.isEmpty())
        out << "  Album artist: " << StripControls(album.albumArtist.value) << Qt::endl;
    if (!album.album.value.isEmpty())
        out << "  Album: " << StripControls(album.album.value) << Qt::endl;
    if (!album.date.value.isEmpty())
        out << "  Date: " << StripControls(album.date.value) << Qt::endl;
    if (!album.genre.value.isEmpty())
        out << "  Genre: " << StripControls(album.genre.value) << Qt::endl;
    if (!album.discNumber.value.isEmpty())
        out << "  Disc: " << StripControls(album.discNumber.value)
            << (album.discTotal.value.isEmpty() ? QString()
                                                : "/" + StripControls(album.discTotal.value))
            << Qt::endl;
    const std::pair<const char*, const QString*> releaseFields[] = {
        {"Label", &album.label.value},
        {"Catalogue number", &album.catalogNumber.value},
        {"Barcode", &album.barcode.value},
        {"Comment", &album.comment.value},
    };
    for (const auto& [caption, value] : releaseFields)
        if (!value->isEmpty())
            out << "  " << caption << ": " << StripControls(*value) << Qt::endl;
    for (const metadata::TTrackMetadata& track : metadata.tracks) {
        if (track.title.value.isEmpty() && track.artist.value.isEmpty())
            continue;
        out << "  Track " << track.number << ": "
            << (track.title.value.isEmpty() ? QStringLiteral("(no title)")
                                            : StripControls(track.title.value));
        if (!track.artist.value.isEmpty())
            out << " / " << StripControls(track.artist.value);
        out << Qt::endl;
    }
    if (names.Candidates().size() < 2)
        return;
    out << "  Releases (choose with --release N):" << Qt::endl;
    for (qsizetype i = 0; i < names.Candidates().size(); ++i) {
        const metadata::TReleaseCandidate& release = names.Candidates()[i];
        out << "  " << (i == names.ChosenIndex() ? "* " : "  ") << i + 1 << ". "
            << StripControls(Joined({release.artist, release.title})) << " ("
            << StripControls(
                   Joined({release.date, release.country, release.label, release.catalogNumber,
                           release.barcode, QStringLiteral("%1 tracks").arg(release.trackCount),
                           release.note}))
            << ")" << Qt::endl;
    }
}

} // namespace sonfeld::app
