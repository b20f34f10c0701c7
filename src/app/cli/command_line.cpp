#include "command_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <set>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/formats/output_formats.h"
#include "app/metadata/full_tags.h"
#include "app/queue/rip_components.h"
#include "app/queue/rip_queue.h"
#include "app/text/plain_text.h"
#include "app/text/texts.h"
#include "app/tracks/row_names.h"
#include "app/tracks/track_list.h"
#include "app/tracks/track_list_model.h"
#include "app/verification/rip_log.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/cd/disc_list_lines.h"
#include "audio/cd/disc_model_reading.h"
#include "command_line_names.h"
#include "command_line_options.h"
#include "stop_signals.h"

namespace sonfeld::app {

namespace {

// Also keeps a name's control characters (escape sequences) off the terminal.
QString OneLine(QString text)
{
    return StripControls(text.replace(QStringLiteral("\r\n"), QStringLiteral(" "))).trimmed();
}

// Stands in for the main window: the folder, format and album come from the
// arguments, messages are printed, and the queue's return to idle ends the
// event loop.
class TCommandLineHost final : public TRipQueueInputs, public TRipQueueReactions {
public:
    TCommandLineHost(QString folder, QString format, QString album,
                     const metadata::TDiscNames& names, QTextStream& out, QTextStream& err)
        : folder_(std::move(folder)), format_(std::move(format)), album_(std::move(album)),
          names_(names), out_(out), err_(err)
    {
    }

    QString FolderText() const override { return folder_; }
    QString FormatText() const override { return format_; }
    QString AlbumText() const override { return album_; }
    bool DriveSelected() const override { return true; }

    void ShowMessage(const QString& text, const QString& caption) override
    {
        out_ << caption << ": " << OneLine(text) << Qt::endl;
    }
    void BrowseFolder() override
    {
        err_ << "The output folder or the last track's name is missing." << Qt::endl;
    }
    void SetRipping(bool busy) override
    {
        if (!busy) {
            idle_ = true;
            loop_.quit();
        }
    }
    void SetStopping() override {}
    bool PauseBetweenTracks() const override { return false; }
    void SelectRow(int /*row*/) override {}
    void ShowRunError(const QString& message) override
    {
        err_ << "Error: " << OneLine(message) << Qt::endl;
    }
    void ShowError(const QString& message) override
    {
        failed_ = true;
        err_ << "Error: " << OneLine(message) << Qt::endl;
        loop_.quit();
    }
    const metadata::TDiscNames* Names() const override { return &names_; }

    void ShowRipSummary(const TRipSummary& summary) override
    {
        out_ << text::kRipEndedCaption << ":" << Qt::endl;
        const QString retry = QStringLiteral("再次运行同一命令会重新转换未能转换的音轨。");
        for (const QString& line : summary.Text(retry).split(QLatin1Char('\n')))
            out_ << "  " << line << Qt::endl;
    }

    void OfferReadOffset(const QString& driveName, int offset) override
    {
        out_ << "Read offset found for " << driveName << ": " << offset
             << " samples (use --read-offset " << offset << ")" << Qt::endl;
    }

    // Runs the event loop until the queue is idle again or an error ended it.
    void WaitUntilIdle()
    {
        if (!idle_ && !failed_)
            loop_.exec();
    }
    bool Failed() const { return failed_; }
    void MarkFailed() { failed_ = true; }

private:
    QString folder_;
    QString format_;
    QString album_;
    const metadata::TDiscNames& names_;
    QTextStream& out_;
    QTextStream& err_;
    QEventLoop loop_;
    bool idle_ = false;
    bool failed_ = false;
};

// Adds the images as drives; returns the drive of the first one, if any.
std::optional<int> AddImages(TCDIn& input, const QStringList& images)
{
    std::optional<int> first;
    for (const QString& image : images) {
        const int drive = input.DriveCount();
        TCDIn::AddImageDrive(LocalPath(QDir().absoluteFilePath(image)).toStdString());
        if (!first)
            first = drive;
    }
    return first;
}

void SelectDrive(TRipComponents& components, TTrackListModel& rows, int drive)
{
    TCDIn& input = *components.ReadCDIn;
    if (drive >= input.DriveCount())
        throw EUsageError("There is no drive " + std::to_string(drive) + ".");
    input.SetCurrentDrive(drive);
    components.CDPlayer1->SetDrive(input.CurrentDrive());
    RefreshTrackList(input, rows);
}

void PrintRows(const TTrackListModel& rows, QTextStream& out)
{
    if (rows.rowCount() == 0)
        out << "  (no disc, or its table of contents cannot be read)" << Qt::endl;
    // The name column widens for long names (CD-TEXT titles) so the times stay aligned.
    qsizetype nameWidth = 11;
    for (int row = 0; row < rows.rowCount(); ++row)
        nameWidth = std::max(nameWidth, StripControls(rows.Name(row)).size());
    for (int row = 0; row < rows.rowCount(); ++row)
        out << "  " << rows.Label(row).leftJustified(10)
            << StripControls(rows.Name(row)).leftJustified(nameWidth) << " " << rows.TimeText(row)
            << Qt::endl;
}

int RunList(const TCommandLine& command, TRipComponents& components, QTextStream& out,
            QTextStream& err)
{
    TTrackListModel rows;
    const std::optional<int> image = AddImages(*components.ReadCDIn, command.Images);
    const QStringList names = FillDriveList(*components.ReadCDIn);
    out << "Drives:" << Qt::endl;
    if (names.isEmpty())
        out << "  (none)" << Qt::endl;
    for (int drive = 0; drive < names.size(); ++drive)
        out << "  " << drive << ": " << names[drive] << Qt::endl;
    std::vector<int> shown;
    if (command.Drive)
        shown.push_back(*command.Drive);
    else if (image)
        shown.push_back(*image);
    else
        for (int drive = 0; drive < names.size(); ++drive)
            shown.push_back(drive);
    TCommandLineNames discNames;
    for (int drive : shown) {
        SelectDrive(components, rows, drive);
        if (rows.rowCount() > 0) {
            discNames.Prepare(drive, command, false, out, err);
            PutNamesOnRows(discNames.Names().Metadata(), rows);
        }
        out << "Disc in drive " << drive << ":" << Qt::endl;
        PrintRows(rows, out);
        if (rows.rowCount() == 0)
            continue;
        if (const std::optional<disc::DiscModel> model = ReadDiscModel(drive)) {
            for (const std::string& line : DiscListLines(*model))
                out << "  " << StripControls(QString::fromStdString(line)) << Qt::endl;
        }
        PrintNames(discNames.Names(), out);
    }
    return 0;
}

// Prints each track's progress in steps of ten and its final status.
void ReportProgress(TTrackListModel& rows, TRipQueue& queue, QTextStream& out)
{
    auto lastShown = std::make_shared<std::map<int, int>>();
    // A status is printed when it changes: reading ahead refreshes the cell
    // with every block.
    auto lastStatus = std::make_shared<std::map<int, TTrackStatus>>();
    QObject::connect(
        &rows, &QAbstractItemModel::dataChanged, &queue,
        [&rows, &queue, &out, lastShown, lastStatus](const QModelIndex& from, const QModelIndex&) {
            const int row = from.row();
            const QString label = rows.Label(row);
            if (from.column() == tlProg) {
                const int progress = rows.Progress(row);
                auto [step, inserted] = lastShown->try_emplace(row, -1);
                // The file as the queue names it, its template's folders included.
                if (const QString target = queue.TargetPathOfRow(row);
                    inserted && !target.isEmpty())
                    out << label << " -> " << StripControls(target) << Qt::endl;
                if (progress / 10 != step->second / 10 ||
                    (progress == 100 && step->second != 100)) {
                    step->second = progress;
                    out << label << ": " << progress << "%" << Qt::endl;
                }
            } else if (from.column() == tlStatus && rows.Status(row) != TTrackStatus::Converting) {
                auto [shown, inserted] = lastStatus->try_emplace(row, rows.Status(row));
                if (!inserted && shown->second == rows.Status(row))
                    return;
                shown->second = rows.Status(row);
                out << label << ": " << rows.StatusText(row) << Qt::endl;
            }
        });
}

// Prints each ripped track's verdict and CRC32 once both are known.
void ReportVerdicts(TTrackListModel& rows, TRipQueue& queue, QTextStream& out)
{
    TRipVerification& verification = queue.Verification();
    QObject::connect(
        &verification, &TRipVerification::TrackVerified, &queue,
        [&rows, &out, &verification, &queue](int track, const QString& verdict) {
            const auto found = verification.Tracks().find(track);
            if (found == verification.Tracks().end())
                return;
            const auto hex = [](quint32 crc) {
                return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper();
            };
            out << rows.Label(rows.RowOfTrack(track)) << ": " << verdict << ", CRC32 "
                << hex(found->second.Checksums.crc32);
            if (const std::optional<quint32> test = queue.Reading().TestCrc(track))
                out << (queue.Reading().CopyMismatch(track) ? ", 测试 CRC32 不一致 "
                                                            : ", 测试 CRC32 ")
                    << hex(*test);
            out << Qt::endl;
        });
}

// Waits, bounded by the lookup's time-out, until every ripped track has its verdict.
void WaitForVerdicts(TRipVerification& verification)
{
    if (!verification.Pending())
        return;
    QEventLoop loop;
    QObject::connect(&verification, &TRipVerification::Settled, &loop, &QEventLoop::quit);
    loop.exec();
}

// How many ripped tracks AccurateRip did not prove accurate.
int UnprovenTracks(const TRipVerification& verification)
{
    int unproven = 0;
    for (const auto& [track, verified] : verification.Tracks())
        if (!verified.Verdict || verified.Verdict->status != verify::AccurateRipStatus::Match)
            ++unproven;
    return unproven;
}

int RunCheckLog(const TCommandLine& command, QTextStream& out, QTextStream& err)
{
    QString reason;
    const RipLogCheck result = CheckRipLogFile(command.LogFile, &reason);
    (result == RipLogCheck::Intact ? out : err)
        << RipLogCheckMessage(result) << (reason.isEmpty() ? QString() : ": " + reason) << Qt::endl;
    return result == RipLogCheck::Intact ? 0 : 1;
}

// Takes the components: they go before the queue their workers post to.
int RunRip(const TCommandLine& command, std::unique_ptr<TRipComponents> owned, QTextStream& out,
           QTextStream& err)
{
    TRipComponents& components = *owned;
    const TOutputFormat& format = *FindFormat(command.Format, Qt::CaseInsensitive);
    // From the first line printed: a reader that goes away (… | head) or a
    // signal during the lookup must not kill the program either.
    TStopSignals stopSignals;
    const QString folder = QDir::cleanPath(QDir().absoluteFilePath(command.OutputFolder));

    TTrackListModel rows;
    const std::optional<int> image = AddImages(*components.ReadCDIn, command.Images);
    // As when the window is shown: the stored encoder settings go into the outputs.
    components.ApplyEncoderSettings();
    const int drive = command.Drive ? *command.Drive : *image;
    SelectDrive(components, rows, drive);
    if (rows.rowCount() == 0)
        throw std::runtime_error("Drive " + std::to_string(drive) +
                                 " has no disc, or its table of contents cannot be read.");

    const std::set<int> wanted(command.Tracks.begin(), command.Tracks.end());
    for (int track : wanted) {
        if (track > rows.rowCount())
            throw EUsageError("The disc has no track " + std::to_string(track) + ".");
    }
    for (const auto& [track, name] : command.Names) {
        if (track < 1 || track > rows.rowCount())
            throw EUsageError("The disc has no track " + std::to_string(track) + ".");
        rows.SetName(rows.RowOfTrack(track), name);
    }
    if (!wanted.empty()) {
        for (int track : wanted) {
            if (track >= 1 && rows.IsData(rows.RowOfTrack(track)))
                throw EUsageError("Track " + std::to_string(track) +
                                  " is a data track (数据轨); only audio tracks can be ripped.");
        }
        for (int row = 0; row < rows.rowCount(); ++row)
            rows.SetChecked(row, wanted.count(rows.TrackNumberOfRow(row)) > 0);
    }
    // The names, looked up before the first file is named; a lookup that
    // fails leaves them as they are and the rip goes on.
    TCommandLineNames names;
    names.Prepare(drive, command, true, out, err);
    PutNamesOnRows(names.Names().Metadata(), rows);
    const QString source = metadata::SourceText(names.Names().Source());
    if (!source.isEmpty())
        out << "Names from: " << source << Qt::endl;

    TCommandLineHost host(folder, format.NameText(), command.Album.value_or(QString()),
                          names.Names(), out, err);
    TRipQueue queue(components, rows, host, host);
    queue.SetFileNameTemplate(command.Template);
    queue.SetCompressionLevel(command.Level);
    if (command.Id3v23)
        SetId3VersionForThisRun(3);
    if (command.ReadingMode || command.ReadOffset || command.TestAndCopy) {
        TReadingOptions reading =
            StoredReadingOptions(QString::fromStdString(components.ReadCDIn->DriveName()));
        reading.Mode = command.ReadingMode.value_or(reading.Mode);
        reading.ReadOffset = command.ReadOffset.value_or(reading.ReadOffset);
        reading.TestAndCopy = reading.TestAndCopy || command.TestAndCopy;
        queue.SetReadingOptions(reading);
    }
    ReportProgress(rows, queue, out);
    ReportVerdicts(rows, queue, out);
    // Ctrl+C and a termination request act as "停止": the running track ends
    // and its partial file goes.
    QObject::connect(&stopSignals, &TStopSignals::Raised, &queue, [&queue, &err, &stopSignals] {
        err << (stopSignals.ReaderGone()
                    ? "The output's reader went away: stopping the running track."
                    : "Interrupted: stopping the running track.")
            << Qt::endl;
        queue.StopCommand();
    });
    if (!stopSignals.WasRaised()) {
        try {
            queue.RipCommand();
        } catch (const std::exception& e) {
            host.ShowError(QString::fromUtf8(e.what()));
        }
        host.WaitUntilIdle();
    }
    if (!stopSignals.WasRaised()) {
        WaitForVerdicts(queue.Verification());
        // An offset search after a rip that matched nowhere: its answer is printed.
        if (queue.OffsetSearch().Running()) {
            QEventLoop loop;
            QObject::connect(&queue.OffsetSearch(), &TOffsetSearch::Finished, &loop,
                             &QEventLoop::quit);
            loop.exec();
        }
    }
    // An error may have ended the wait while tracks were still in the pipeline.
    queue.EndPipeline();
    owned.reset();

    int ripped = 0;
    int requested = 0;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (!rows.Checked(row))
            continue;
        ++requested;
        if (rows.Status(row) == TTrackStatus::Converted)
            ++ripped;
    }
    out << ripped << " of " << requested << " tracks ripped into " << folder << Qt::endl;
    if (stopSignals.WasRaised())
        return stopSignals.ReaderGone() ? kReaderGoneExit : kInterruptedExit;
    if (command.RequireAccurate) {
        if (const int unproven = UnprovenTracks(queue.Verification()); unproven > 0) {
            err << unproven << " ripped track(s) not proven accurate." << Qt::endl;
            return 1;
        }
    }
    // A log or sheet that could not be written is a failed rip too.
    return !host.Failed() && !queue.RecordsFailed() && ripped == requested ? 0 : 1;
}

} // namespace

int RunCommandLine(const TCommandLine& command, QTextStream& out, QTextStream& err)
{
    if (command.Mode == TCommandLine::TMode::Help) {
        out << UsageText();
        return 0;
    }
    if (command.Mode == TCommandLine::TMode::Version) {
        out << VersionText();
        return 0;
    }
    if (command.Mode == TCommandLine::TMode::CheckLog)
        return RunCheckLog(command, out, err);
    try {
        auto components = std::make_unique<TRipComponents>();
        if (command.Mode == TCommandLine::TMode::List)
            return RunList(command, *components, out, err);
        return RunRip(command, std::move(components), out, err);
    } catch (const EUsageError& e) {
        err << QString::fromUtf8(e.what()) << "\n" << kSeeHelp << Qt::endl;
        return 2;
    } catch (const std::exception& e) {
        err << "Error: " << QString::fromUtf8(e.what()) << Qt::endl;
        return 1;
    }
}

} // namespace sonfeld::app
