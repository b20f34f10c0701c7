#include "image_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/formats/output_formats.h"
#include "app/metadata/disc_names.h"
#include "app/queue/rip_components.h"
#include "app/queue/single_file_rip.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/tracks/track_list_model.h"
#include "app/verification/rip_verification.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/disc_model_reading.h"
#include "audio/cd/verify/checksum_tap.h"
#include "command_line.h"
#include "command_line_options.h"
#include "stop_signals.h"

namespace sonfeld::app {

namespace {

QString Hex(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// Reads the track through the tap to its end; false with error when the read failed.
bool ReadTrack(verify::TChecksumTap& tap, const TStopSignals& stop, QString& error)
{
    std::vector<std::uint8_t> buffer(TCDIn::kChunkBytes);
    tap.OpenInput();
    try {
        // The lookup's answer and the stop signals arrive through the event loop.
        while (!stop.WasRaised() && tap.ReadPCM(buffer.data(), static_cast<int>(buffer.size())) > 0)
            QCoreApplication::processEvents();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    tap.CloseInput();
    return error.isEmpty();
}

} // namespace

int RunVerify(const TCommandLine& command, TRipComponents& components, QTextStream& out,
              QTextStream& err)
{
    TStopSignals stopSignals;
    TCDIn& input = *components.ReadCDIn;
    std::optional<int> image;
    for (const QString& path : command.Images) {
        const int drive = input.DriveCount();
        TCDIn::AddImageDrive(LocalPath(QDir().absoluteFilePath(path)).toStdString());
        if (!image)
            image = drive;
    }
    const int drive = command.Drive ? *command.Drive : *image;
    if (drive >= input.DriveCount())
        throw EUsageError("There is no drive " + std::to_string(drive) + ".");
    input.SetCurrentDrive(drive);
    const std::optional<disc::DiscModel> model = ReadDiscModel(drive);
    if (!model || model->AudioTracks().empty())
        throw std::runtime_error("Drive " + std::to_string(drive) +
                                 " has no audio disc, or its table of contents cannot be read.");
    // An image's files hold the audio where the sheet puts it; a drive reads
    // with its stored offset.
    const QString driveName = QString::fromStdString(input.DriveName());
    input.SetReadOffset(command.VerifyReadOffset.value_or(
        command.Drive ? StoredReadingOptions(driveName).ReadOffset : 0));
    input.SetReadMode(rmSecure);
    out << "Verifying " << driveName << " at read offset " << input.ReadOffset() << Qt::endl;

    TRipVerification verification;
    QObject::connect(&verification, &TRipVerification::TrackVerified, &verification,
                     [&out, &verification](int track, const TMessage& verdict) {
                         out << "Track " << track << ": " << verdict.Chinese() << ", CRC32 "
                             << Hex(verification.Tracks().at(track).Checksums.crc32) << Qt::endl;
                     });
    verification.StartQueue(drive);
    verify::TChecksumTap& tap = *components.Tap;
    int unread = 0;
    for (const disc::Track* track : model->AudioTracks()) {
        if (stopSignals.WasRaised())
            break;
        input.SetStartTrack(track->number);
        input.SetEndTrack(track->number);
        tap.SetTrack(verification.PlaceOf(track->number));
        QString error;
        if (!ReadTrack(tap, stopSignals, error)) {
            ++unread;
            err << "Track " << track->number << ": " << error << Qt::endl;
            continue;
        }
        if (stopSignals.WasRaised())
            break;
        if (const std::optional<verify::TrackChecksums> sums = tap.Checksums())
            verification.TrackRipped(track->number, *sums, input.RipReport());
    }
    if (stopSignals.WasRaised()) {
        err << "Interrupted: verification stopped." << Qt::endl;
        return stopSignals.ReaderGone() ? kReaderGoneExit : kInterruptedExit;
    }
    if (verification.Pending()) {
        QEventLoop loop;
        QObject::connect(&verification, &TRipVerification::Settled, &loop, &QEventLoop::quit);
        QObject::connect(&stopSignals, &TStopSignals::Raised, &loop, &QEventLoop::quit);
        loop.exec();
    }
    int accurate = 0;
    for (const auto& [number, verified] : verification.Tracks())
        if (verified.Verdict && verified.Verdict->status == verify::AccurateRipStatus::Match)
            ++accurate;
    const int tracks = static_cast<int>(model->AudioTracks().size());
    if (const auto& lookup = verification.Lookup();
        lookup && lookup->outcome == AccurateRipLookupResult::Outcome::Failed)
        err << "AccurateRip: " << lookup->error << Qt::endl;
    out << accurate << " of " << tracks << " tracks proven accurate" << Qt::endl;
    return accurate == tracks && unread == 0 ? 0 : 1;
}

int RunSingleFileRip(const TCommandLine& command, TRipComponents& components, int drive,
                     const QString& folder, const TOutputFormat& format,
                     const TTrackListModel& rows, const metadata::TDiscNames& names,
                     QTextStream& out, QTextStream& err)
{
    TStopSignals stopSignals;
    const metadata::TDiscMetadata& shown = names.Metadata();
    TSingleFileRequest request;
    request.Folder = folder;
    request.Format = &format;
    request.Album = command.Album.value_or(shown.album.album.value.trimmed());
    request.AlbumArtist = shown.album.albumArtist.value.trimmed();
    request.Date = shown.album.date.value.trimmed();
    request.Genre = shown.album.genre.value.trimmed();
    request.BaseName = FileNameProblem(request.Album).IsEmpty() ? SafeFileName(request.Album)
                                                                : QStringLiteral("CDImage");
    for (int row = 0; row < rows.rowCount(); ++row)
        request.Titles[rows.TrackNumberOfRow(row)] = rows.Name(row);
    for (const metadata::TTrackMetadata& track : shown.tracks) {
        const QString artist = track.artist.value.trimmed();
        if (!artist.isEmpty() && artist != request.AlbumArtist)
            request.Performers[track.number] = artist;
    }
    request.DriveName = QString::fromStdString(components.ReadCDIn->DriveName());
    request.Reading = StoredReadingOptions(request.DriveName);
    request.Reading.ReadOffset = command.ReadOffset.value_or(request.Reading.ReadOffset);
    request.Level = command.Level;
    request.WriteLog = Read(key::kWriteRipLog);
    request.DeEmphasis = command.DeEmphasis || Read(key::kDeEmphasis);

    TSingleFileRip rip(components);
    QObject::connect(&rip.Verification(), &TRipVerification::TrackVerified, &rip,
                     [&out, &rip](int track, const TMessage& verdict) {
                         out << "Track " << track << ": " << verdict.Chinese() << ", CRC32 "
                             << Hex(rip.Verification().Tracks().at(track).Checksums.crc32)
                             << Qt::endl;
                     });
    int shownStep = -1;
    QObject::connect(&rip, &TSingleFileRip::Progress, &rip, [&out, &shownStep](int percent) {
        if (percent / 10 != shownStep) {
            shownStep = percent / 10;
            out << "Image: " << percent << "%" << Qt::endl;
        }
    });
    std::optional<std::pair<bool, QString>> result;
    QEventLoop loop;
    QObject::connect(&rip, &TSingleFileRip::Finished, &loop,
                     [&result, &loop](bool ok, const TMessage& message) {
                         result = {ok, message.Chinese()};
                         loop.quit();
                     });
    QObject::connect(&stopSignals, &TStopSignals::Raised, &rip, [&rip, &err] {
        err << "Interrupted: stopping the rip; no image is kept." << Qt::endl;
        rip.Stop();
    });
    out << "Ripping the disc into "
        << QDir(folder).filePath(request.BaseName + format.ExtensionText()) << Qt::endl;
    rip.Start(drive, request);
    if (!result)
        loop.exec();
    if (stopSignals.WasRaised())
        return stopSignals.ReaderGone() ? kReaderGoneExit : kInterruptedExit;
    if (!result->first) {
        err << "Error: " << result->second << Qt::endl;
        return 1;
    }
    out << "Disc ripped into " << rip.ImagePath() << " with " << rip.SheetPath() << Qt::endl;
    if (command.RequireAccurate) {
        int unproven = 0;
        for (const auto& [track, verified] : rip.Verification().Tracks())
            if (!verified.Verdict || verified.Verdict->status != verify::AccurateRipStatus::Match)
                ++unproven;
        if (unproven > 0) {
            err << unproven << " track(s) not proven accurate." << Qt::endl;
            return 1;
        }
    }
    return 0;
}

} // namespace sonfeld::app
