#include "command_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <sys/ioctl.h>
#include <unistd.h>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/formats/output_formats.h"
#include "app/metadata/full_tags.h"
#include "app/queue/album_gain.h"
#include "app/queue/rip_components.h"
#include "app/queue/rip_queue.h"
#include "app/settings/setting_keys.h"
#include "app/text/plain_text.h"
#include "app/text/texts.h"
#include "app/tracks/row_names.h"
#include "app/tracks/track_list.h"
#include "app/tracks/track_list_model.h"
#include "app/verification/rip_log.h"
#include "app/verification/rip_repair.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/cd/disc_list_lines.h"
#include "audio/cd/disc_model_reading.h"
#include "command_line_names.h"
#include "command_line_options.h"
#include "disc_json.h"
#include "image_commands.h"
#include "rip_report.h"
#include "stop_signals.h"

namespace sonfeld::app {

namespace {

// Also keeps a name's control characters (escape sequences) off the terminal.
QString OneLine(QString text)
{
    return StripControls(text.replace(QStringLiteral("\r\n"), QStringLiteral(" "))).trimmed();
}

// Stands in for the main window: the folder, format and album come from the
// arguments, messages go to the report, and the queue's return to idle ends
// the event loop.
class TCommandLineHost final : public TRipQueueInputs, public TRipQueueReactions {
public:
    TCommandLineHost(QString folder, QString format, QString album,
                     const metadata::TDiscNames& names, TRipReport& report)
        : folder_(std::move(folder)), format_(std::move(format)), album_(std::move(album)),
          names_(names), report_(report)
    {
    }

    QString FolderText() const override { return folder_; }
    QString FormatText() const override { return format_; }
    QString AlbumText() const override { return album_; }
    bool DriveSelected() const override { return true; }

    // "转换完成!" and the refusals before a rip: shown even when quiet.
    void ShowMessage(const TMessage& text, const QString& caption) override
    {
        report_.SummaryLine(caption + QStringLiteral(": ") + OneLine(text.Chinese()));
    }
    void BrowseFolder() override
    {
        report_.Error(QStringLiteral("The output folder or the last track's name is missing."));
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
    void ShowRunError(const TMessage& message) override
    {
        report_.Error(QStringLiteral("Error: ") + OneLine(message.Chinese()));
    }
    void ShowError(const TMessage& message) override
    {
        failed_ = true;
        report_.Error(QStringLiteral("Error: ") + OneLine(message.Chinese()));
        loop_.quit();
    }
    const metadata::TDiscNames* Names() const override { return &names_; }

    void ShowRipSummary(const TRipSummary& summary) override
    {
        report_.SummaryLine(text::kRipEndedCaption + QStringLiteral(":"));
        const QString retry = QStringLiteral("再次运行同一命令会重新转换未能转换的音轨。");
        for (const QString& line : summary.Text(retry).split(QLatin1Char('\n')))
            report_.SummaryLine(QStringLiteral("  ") + line);
    }

    void OfferReadOffset(const QString& driveName, int offset) override
    {
        report_.SummaryLine(QStringLiteral("Read offset found for %1: %2 samples (use "
                                           "--read-offset %2)")
                                .arg(driveName)
                                .arg(offset));
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
    TRipReport& report_;
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
    RefreshTrackList(input, rows, Read(key::kTickHiddenTrack));
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
    // With --json, standard output holds the one object; the lookup's lines go to errors.
    QTextStream& notes = command.Json ? err : out;
    QJsonArray drives;
    if (!command.Json) {
        out << "Drives:" << Qt::endl;
        if (names.isEmpty())
            out << "  (none)" << Qt::endl;
    }
    for (int drive = 0; drive < names.size(); ++drive) {
        if (command.Json)
            drives.append(QJsonObject{{QStringLiteral("drive"), drive},
                                      {QStringLiteral("name"), names[drive]}});
        else
            out << "  " << drive << ": " << names[drive] << Qt::endl;
    }
    std::vector<int> shown;
    if (command.Drive)
        shown.push_back(*command.Drive);
    else if (image)
        shown.push_back(*image);
    else
        for (int drive = 0; drive < names.size(); ++drive)
            shown.push_back(drive);
    TCommandLineNames discNames;
    QJsonArray discs;
    for (int drive : shown) {
        SelectDrive(components, rows, drive);
        if (rows.rowCount() > 0) {
            discNames.Prepare(drive, command, false, notes, err);
            PutNamesOnRows(discNames.Names().Metadata(), rows);
        }
        if (command.Json) {
            discs.append(DiscJson(drive, rows,
                                  rows.rowCount() > 0 ? ReadDiscModel(drive) : std::nullopt,
                                  rows.rowCount() > 0 ? &discNames.Names() : nullptr));
            continue;
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
    if (command.Json)
        out << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("drives"), drives},
                                                           {QStringLiteral("discs"), discs}})
                                     .toJson(QJsonDocument::Compact))
            << Qt::endl;
    return 0;
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

// How many ripped tracks no database (AccurateRip or the CTDB) proved
// accurate; the hidden track 0, which no database holds, is not asked for.
int UnprovenTracks(const TRipVerification& verification)
{
    int unproven = 0;
    for (const auto& [track, verified] : verification.Tracks())
        if (track != 0 && (!verified.Verdict || (!verified.Typed.AccurateRip.Accurate() &&
                                                 !verified.Typed.Ctdb.Accurate())))
            ++unproven;
    return unproven;
}

// How many ripped tracks nothing proved: no database, no two reads that agree.
int UnprovenReads(const TRipVerification& verification)
{
    int unproven = 0;
    for (const auto& [track, verified] : verification.Tracks())
        if (!verified.Verdict || !verified.Typed.Proof.Proven())
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

TReportStyle ReportStyle(const TCommandLine& command)
{
    if (command.Json)
        return TReportStyle::Json;
    if (command.Quiet)
        return TReportStyle::Quiet;
    // Lines redrawn in place only where a terminal shows them.
    return isatty(STDOUT_FILENO) != 0 && qgetenv("TERM") != "dumb" ? TReportStyle::Terminal
                                                                   : TReportStyle::Lines;
}

int TerminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

TTrackProof ProofOf(TRipQueue& queue, const std::map<int, QString>& verdicts, int track)
{
    TTrackProof proof;
    const auto& tracks = queue.Verification().Tracks();
    if (const auto found = tracks.find(track); found != tracks.end()) {
        proof.Checksums = found->second.Checksums;
        proof.AccurateRip = found->second.Verdict;
    }
    if (const auto found = verdicts.find(track); found != verdicts.end())
        proof.Verdict = found->second;
    proof.TestCrc = queue.Reading().TestCrc(track);
    proof.CopyMismatch = queue.Reading().CopyMismatch(track);
    return proof;
}

// Repairs a finished rip; the disc is not needed, only the rip's files and log.
int RunRepair(const TCommandLine& command, QTextStream& out, QTextStream& err)
{
    QEventLoop loop;
    RipRepair repair;
    RipRepairOutcome outcome;
    QObject::connect(&repair, &RipRepair::Progress,
                     [&](const QString& text) { out << text << Qt::endl; });
    QObject::connect(&repair, &RipRepair::Finished, [&](const RipRepairOutcome& result) {
        outcome = result;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    repair.Start(command.RepairPath, Read(key::kCtdbServer));
    loop.exec();
    const bool good = outcome.result == RipRepairOutcome::Result::Repaired ||
                      outcome.result == RipRepairOutcome::Result::AlreadyExact;
    (good ? out : err) << OneLine(outcome.message) << Qt::endl;
    for (const QString& file : outcome.rewrittenFiles)
        out << "Rewritten: " << file << Qt::endl;
    if (!outcome.repairLogPath.isEmpty())
        out << "Repair log: " << outcome.repairLogPath << Qt::endl;
    out << QStringLiteral("Took %1 s").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1) << Qt::endl;
    return good ? 0 : 1;
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
    // Track 0 has a row only when the disc hides audio before track 1.
    const auto hasRow = [&rows](int track) {
        return rows.TrackNumberOfRow(rows.RowOfTrack(track)) == track;
    };
    for (int track : wanted) {
        if (!hasRow(track))
            throw EUsageError(track == 0 ? std::string("The disc has no hidden audio before track "
                                                       "1 (track 0).")
                                         : "The disc has no track " + std::to_string(track) + ".");
    }
    for (const auto& [track, name] : command.Names) {
        if (!hasRow(track))
            throw EUsageError("The disc has no track " + std::to_string(track) + ".");
        rows.SetName(rows.RowOfTrack(track), name);
    }
    if (!wanted.empty()) {
        for (int track : wanted) {
            if (rows.IsData(rows.RowOfTrack(track)))
                throw EUsageError("Track " + std::to_string(track) +
                                  " is a data track (数据轨); only audio tracks can be ripped.");
        }
        for (int row = 0; row < rows.rowCount(); ++row)
            rows.SetChecked(row, wanted.count(rows.TrackNumberOfRow(row)) > 0);
    }
    // The report watches the rows from here on; the queue it asks for
    // targets and proofs comes below.
    TRipQueue* madeQueue = nullptr;
    std::map<int, QString> verdicts;
    TRipReport report(
        rows, ReportStyle(command), out, err,
        [&madeQueue, &verdicts](int track) {
            return madeQueue != nullptr ? ProofOf(*madeQueue, verdicts, track) : TTrackProof{};
        },
        [&madeQueue](int row) {
            return madeQueue != nullptr ? madeQueue->TargetPathOfRow(row) : QString();
        },
        {}, TerminalColumns());
    // The names, looked up before the first file is named; a lookup that
    // fails leaves them as they are and the rip goes on.
    TCommandLineNames names;
    names.Prepare(drive, command, true, report.Info(), err);
    PutNamesOnRows(names.Names().Metadata(), rows);
    const QString source = metadata::SourceText(names.Names().Source());
    if (!source.isEmpty())
        report.Info() << "Names from: " << source << Qt::endl;

    if (command.SingleFile || Read(key::kOutputMode) == QStringLiteral("singleFile")) {
        const int status = RunSingleFileRip(command, components, drive, folder, format, rows,
                                            names.Names(), out, err);
        owned.reset();
        return status;
    }

    TCommandLineHost host(folder, format.NameText(), command.Album.value_or(QString()),
                          names.Names(), report);
    TRipQueue queue(components, rows, host, host);
    madeQueue = &queue;
    // Rows the queue changes as it goes are no longer asked about it.
    const std::unique_ptr<TRipQueue*, void (*)(TRipQueue**)> forgetQueue(
        &madeQueue, [](TRipQueue** made) { *made = nullptr; });
    queue.SetFileNameTemplate(command.Template);
    queue.SetCompressionLevel(command.Level);
    if (command.Id3v23)
        SetId3VersionForThisRun(3);
    SetReplayGainForThisRun(command.ReplayGain);
    if (command.DeEmphasis)
        queue.SetDeEmphasis(true);
    if (command.ReadingMode || command.ReadOffset || command.TestAndCopy) {
        TReadingOptions reading =
            StoredReadingOptions(QString::fromStdString(components.ReadCDIn->DriveName()));
        reading.Mode = command.ReadingMode.value_or(reading.Mode);
        reading.ReadOffset = command.ReadOffset.value_or(reading.ReadOffset);
        reading.TestAndCopy = reading.TestAndCopy || command.TestAndCopy;
        queue.SetReadingOptions(reading);
    }
    QObject::connect(&queue.Verification(), &TRipVerification::TrackVerified, &report,
                     [&report, &verdicts](int track, const TMessage& verdict) {
                         verdicts[track] = verdict.Chinese();
                         report.TrackVerified(track);
                     });
    // Ctrl+C and a termination request act as "停止": the running track ends
    // and its partial file goes.
    QObject::connect(&stopSignals, &TStopSignals::Raised, &queue, [&queue, &report, &stopSignals] {
        report.Error(stopSignals.ReaderGone()
                         ? QStringLiteral("The output's reader went away: stopping the running "
                                          "track.")
                         : QStringLiteral("Interrupted: stopping the running track."));
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

    const TRipTotals totals = report.Totals();
    std::optional<int> unproven;
    if (command.RequireAccurate && !stopSignals.WasRaised())
        if (const int count = UnprovenTracks(queue.Verification()); count > 0)
            unproven = count;
    std::optional<int> unprovenReads;
    if (!stopSignals.WasRaised())
        if (const int count = UnprovenReads(queue.Verification()); count > 0)
            unprovenReads = count;
    // A log or sheet that could not be written is a failed rip too.
    const int exitCode =
        stopSignals.WasRaised() ? (stopSignals.ReaderGone() ? kReaderGoneExit : kInterruptedExit)
        : unproven || unprovenReads                                                     ? 1
        : !host.Failed() && !queue.RecordsFailed() && totals.Ripped == totals.Requested ? 0
                                                                                        : 1;
    report.Finish(folder, exitCode);
    report.SummaryLine(QStringLiteral("%1 of %2 tracks ripped into %3")
                           .arg(totals.Ripped)
                           .arg(totals.Requested)
                           .arg(folder));
    if (unproven)
        report.Error(QStringLiteral("%1 ripped track(s) not proven accurate.").arg(*unproven));
    if (unprovenReads)
        report.Error(QStringLiteral(
                         "%1 ripped track(s) not proven by a database or by two reads that agree.")
                         .arg(*unprovenReads));
    return exitCode;
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
    if (command.Mode == TCommandLine::TMode::Repair)
        return RunRepair(command, out, err);
    try {
        auto components = std::make_unique<TRipComponents>();
        if (command.Mode == TCommandLine::TMode::List)
            return RunList(command, *components, out, err);
        if (command.Mode == TCommandLine::TMode::Verify)
            return RunVerify(command, *components, out, err);
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
