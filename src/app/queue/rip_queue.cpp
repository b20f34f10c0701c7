#include "rip_queue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/formats/encoder_settings.h"
#include "app/metadata/disc_names.h"
#include "app/metadata/full_tags.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/text/plain_text.h"
#include "app/text/shown_text.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/cd_player.h"
#include "audio/cd/verify/checksum_tap.h"
#include "audio/core/output.h"
#include "audio/formats/tags/tag_writer.h"
#include "rip_components.h"
#include "track_target.h"

namespace sonfeld::app {
namespace {

// The names the log and the sheet show: the album's, and each track's performer.
void RecordNames(TQueueRecord& record, const metadata::TDiscNames* names)
{
    if (names == nullptr)
        return;
    const metadata::TDiscMetadata& shown = names->Metadata();
    record.AlbumArtist = shown.album.albumArtist.value.trimmed();
    record.AlbumTitle = shown.album.album.value.trimmed();
    record.Date = shown.album.date.value.trimmed();
    record.Genre = shown.album.genre.value.trimmed();
    for (TRecordedTrack& track : record.Tracks) {
        track.Artist = record.AlbumArtist;
        for (const metadata::TTrackMetadata& entry : shown.tracks)
            if (entry.number == track.Number && !entry.artist.value.trimmed().isEmpty())
                track.Artist = entry.artist.value.trimmed();
    }
}

} // namespace

TRipQueue::TRipQueue(TRipComponents& components, TTrackListModel& rows, TRipQueueHost& host,
                     QObject* parent)
    : QObject(parent), components_(components), rows_(rows), host_(host)
{
    Timer1_.setInterval(1000);
    Timer1_.setSingleShot(true);
    connect(&Timer1_, &QTimer::timeout, this, &TRipQueue::Timer1Timer);
    for (TACSOutput* output : components_.Outputs())
        Bind(*output);
    connect(&verification_, &TRipVerification::TrackVerified, this,
            [this](int track, const QString& verdict) {
                rows_.SetVerdict(rows_.RowOfTrack(track),
                                 reading_.CopyMismatch(track)
                                     ? verdict + QStringLiteral("；测试与复制 CRC 不一致")
                                     : verdict);
                if (awaiting_ && awaiting_->Track == track)
                    FastReadJudged(track);
                else if (held_.count(track) != 0)
                    PipedFastReadJudged(track);
            });
    connect(&verification_, &TRipVerification::LookupAnswered, this,
            &TRipQueue::PipelineLookupAnswered);
    connect(&offsetSearch_, &TOffsetSearch::Finished, this,
            [this](const QString& drive, std::optional<int> offset, const QString&) {
                // A failed search finds nothing; the rip itself is unchanged.
                if (offset)
                    host_.OfferReadOffset(drive, *offset);
            });
    connect(&verification_, &TRipVerification::Settled, this, [this] {
        if (unwritten_)
            WriteRecords();
    });
}

TRipQueue::~TRipQueue()
{
    EndPipeline();
    // The components, which go first, wound up a running track's file.
    if (run_)
        TOutputFolder::Discard(run_->Temporary);
    if (awaiting_)
        TOutputFolder::Discard(awaiting_->Temporary);
    for (const auto& [track, held] : held_)
        TOutputFolder::Discard(held.Temporary);
}

void TRipQueue::Bind(TACSOutput& output)
{
    // These run on the output's worker (or on the UI thread when a run could
    // not be prepared). The progress is read there, while the input still
    // knows its position; the rest waits for the UI thread. Events posted to
    // one object are delivered in the order posted. A new run starts only
    // after the last one's final event was handled, so the run read here is
    // the one raising the event.
    output.OnProgress = [this, &output](TComponent*) {
        const int value = output.Progress();
        const int run = activeRun_.load();
        QMetaObject::invokeMethod(
            this, [this, run, value] { OutputProgress(run, value); }, Qt::QueuedConnection);
    };
    output.OnDone = [this](TComponent*) {
        const int run = activeRun_.load();
        QMetaObject::invokeMethod(
            this, [this, run] { OutputDone(run); }, Qt::QueuedConnection);
    };
    output.OnThreadException = [this](TComponent*, const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        const int run = activeRun_.load();
        QMetaObject::invokeMethod(
            this, [this, run, message] { OutputThreadException(run, message); },
            Qt::QueuedConnection);
    };
}

void TRipQueue::RipCommand()
{
    if (TrackRunning() || awaiting_)
        return;
    if (nextPass_ && folder_.Held()) {
        // The same track again: its row is checked and the queue is running.
        const int track = *nextPass_;
        nextPass_.reset();
        StartTrackRip(track);
        return;
    }
    nextPass_.reset();
    // The drive is the queue's again.
    offsetSearch_.Cancel();
    if (!folder_.Held())
        CheckStoredSettings();
    if (!CheckRipSettings()) {
        // A validation that fails while the queue continues must not leave
        // the controls busy with nothing running.
        GoIdle();
        if (Read(key::kWizard))
            components_.CDPlayer1->Stop();
        else
            host_.ShowMessage(text::kReminder, text::kReminderCaption);
        return;
    }
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!ToRip(row))
            continue;
        const bool newQueue = !folder_.Held();
        if (newQueue) {
            // A new queue: checked once, before its first track.
            const TOutputFormat* format = FindFormat(host_.FormatText());
            if (format != nullptr) {
                if (const QString clash = SameFileNames(*format); !clash.isEmpty()) {
                    GoIdle();
                    host_.ShowMessage(clash, text::kSameFileNameCaption);
                    return;
                }
            }
            // An earlier queue still waiting for its verdicts is written as it
            // stands, and lets its folder go; its message is no longer wanted.
            summary_.reset();
            ejectAfter_ = false;
            if (unwritten_)
                WriteRecords();
            if (const QString problem = folder_.Acquire(host_.FolderText()); !problem.isEmpty()) {
                GoIdle();
                host_.ShowError(problem);
                return;
            }
            // The rows that failed before are tried again.
            for (int other = 0; other < rows_.rowCount(); ++other) {
                if (rows_.Checked(other) && rows_.Status(other) == TTrackStatus::Failed) {
                    rows_.SetProgress(other, 0);
                    rows_.SetStatus(other, TTrackStatus::NotConverted);
                }
            }
            stopped_ = false;
            searchDrive_ = components_.ReadCDIn->CurrentDrive();
            verification_.StartQueue(searchDrive_);
            const QString drive = QString::fromStdString(components_.ReadCDIn->DriveName());
            reading_.StartQueue(readingOptions_ ? *readingOptions_ : StoredReadingOptions(drive));
            const QString cueFileType =
                format != nullptr ? QString::fromLatin1(format->CueFileType) : QString();
            record_ = TQueueRecord{host_.FolderText(),
                                   host_.AlbumText(),
                                   format != nullptr ? format->ExtensionText() : QString(),
                                   drive,
                                   reading_.Options().ReadOffset,
                                   reading_.Options().Mode == TReadingMode::FastVerify ? rmFast
                                                                                       : rmSecure,
                                   {},
                                   {},
                                   cueFileType,
                                   {},
                                   {},
                                   {},
                                   {}};
            queueTracks_.clear();
            queueFiles_.clear();
            coverFolders_.clear();
            failures_.clear();
        }
        // The pipelined queue takes all its rows at once; rows it takes on
        // its way leave the selection where the user put it.
        if (newQueue || !Pipelined())
            host_.SelectRow(row);
        host_.SetRipping(true);
        ripped_ = true;
        if (const TOutputFormat* format = FindFormat(host_.FormatText());
            format != nullptr && Pipelined()) {
            StartPipelinedQueue(*format);
            return;
        }
        StartTrackRip(rows_.TrackNumberOfRow(row));
        return;
    }
    FinishQueue();
}

bool TRipQueue::ToRip(int row) const
{
    if (!rows_.Checked(row))
        return false;
    // Within a queue a failed row stays failed; the next queue tries it again.
    return rows_.Status(row) == TTrackStatus::NotConverted ||
           (rows_.Status(row) == TTrackStatus::Failed && !folder_.Held());
}

int TRipQueue::RowOf(int track) const
{
    return rows_.RowOfTrack(track);
}

void TRipQueue::FinishQueue()
{
    if (!ripped_) {
        GoIdle();
        host_.ShowMessage(text::kNothingToRip, text::kNothingToRipCaption);
        return;
    }
    // Nothing runs or waits now: the rows are as the queue leaves them.
    TRipSummary summary;
    summary.Folder = record_.Folder;
    summaryRipped_.clear();
    for (int track : queueTracks_) {
        const int row = RowOf(track);
        ++summary.Tracks;
        if (rows_.Status(row) == TTrackStatus::Converted) {
            ++summary.Ripped;
            summaryRipped_.push_back(track);
            continue;
        }
        const auto failure = failures_.find(track);
        summary.Failed.push_back({rows_.Label(row), failure != failures_.end()
                                                        ? failure->second
                                                        : rows_.StatusText(row)});
    }
    // A disc with tracks to try again stays in.
    ejectAfter_ = summary.Failed.empty() && Read(key::kEjectCD);
    lastLog_.clear();
    // The records are written now or once the verdicts are in; the message
    // follows them, with the verdicts and the log, once the window is idle.
    GoIdle();
    summary_ = summary;
    if (!unwritten_)
        ReportEnd();
}

void TRipQueue::ReportEnd()
{
    if (!summary_)
        return;
    TRipSummary summary = *summary_;
    summary_.reset();
    summary.LogFile = lastLog_;
    for (int track : summaryRipped_) {
        const auto found = verification_.Tracks().find(track);
        if (found == verification_.Tracks().end() || !found->second.Verdict)
            continue;
        if (found->second.Verdict->status == verify::AccurateRipStatus::Match)
            ++summary.Accurate;
        else if (found->second.Verdict->status == verify::AccurateRipStatus::Mismatch)
            ++summary.Mismatched;
    }
    const bool eject = ejectAfter_;
    ejectAfter_ = false;
    if (summary.Clean())
        host_.ShowMessage(text::kAllDone, text::kAllDoneCaption);
    else
        host_.ShowRipSummary(summary);
    if (eject)
        components_.ReadCDIn->Eject();
}

QString TRipSummary::Text(const QString& retryHint) const
{
    QStringList lines;
    lines << Shown(text::kSummaryRipped).arg(Ripped).arg(Tracks);
    if (Ripped > 0)
        lines << Shown(text::kSummaryVerdicts)
                     .arg(Accurate)
                     .arg(Mismatched)
                     .arg(Ripped - Accurate - Mismatched);
    if (!Failed.empty()) {
        lines << Shown(text::kSummaryFailed).arg(Failed.size());
        for (const TFailed& failed : Failed)
            lines << QStringLiteral("  %1: %2").arg(failed.Label, ShownMessage(failed.Reason));
        lines << retryHint;
    }
    if (Mismatched > 0)
        lines << Shown(text::kSummaryMismatch);
    lines << Shown(text::kSummaryFolder).arg(Folder);
    if (!LogFile.isEmpty())
        lines << Shown(text::kSummaryLog).arg(LogFile);
    return lines.join(QLatin1Char('\n'));
}

QString TRipQueue::SameFileNames(const TOutputFormat& format) const
{
    // Names that differ only in case are one file on FAT, NTFS and SMB.
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
    // A row whose template fails has no file: it fails on its own when reached.
    const auto fileOf = [this, &format](int row) { return TargetOfRow(row, format).relative; };
    QStringList clashes;
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!ToRip(row))
            continue;
        const QString file = fileOf(row);
        if (file.isEmpty())
            continue;
        QStringList labels;
        for (int other = row + 1; other < rows_.rowCount(); ++other) {
            if (ToRip(other) && file.compare(fileOf(other), cs) == 0)
                labels << rows_.Label(other);
        }
        if (!labels.isEmpty() && !clashes.join(QString()).contains(rows_.Label(row)))
            clashes << QStringLiteral("%1、%2 → “%3”")
                           .arg(rows_.Label(row), labels.join(QStringLiteral("、")), file);
    }
    if (clashes.isEmpty())
        return {};
    return text::kSameFileName + clashes.join(QStringLiteral("；"));
}

bool TRipQueue::CheckRipSettings()
{
    const int count = rows_.rowCount();
    const bool nameGiven = count > 0 && !rows_.Name(count - 1).isEmpty();
    const bool driveSelected = host_.DriveSelected();
    if (!driveSelected)
        host_.ShowMessage(text::kSelectDrive, text::kSelectDriveCaption);

    const QString folder = host_.FolderText();
    // Only the rows still to be ripped are tested: the files this queue has
    // just written are not in the way of the next track. Without a folder
    // there is nothing to test yet; the folder dialog comes below.
    const TOutputFormat* format = FindFormat(host_.FormatText());
    if (!folder.isEmpty() && format != nullptr && Read(key::kNoOverwrite)) {
        for (int row = 0; row < count; ++row) {
            if (!ToRip(row))
                continue;
            const QString target = TargetOfRow(row, *format).path;
            if (!target.isEmpty() && FileExistsIgnoringCase(target)) {
                host_.ShowMessage(text::kSameNameFound, text::kSameNameFoundCaption);
                return false;
            }
        }
    }
    if (!folder.isEmpty() && nameGiven && driveSelected)
        return true;
    if (driveSelected)
        host_.BrowseFolder();
    return false;
}

void TRipQueue::StartTrackRip(int track)
{
    const TOutputFormat* format = FindFormat(host_.FormatText());
    if (format == nullptr)
        return;
    const int row = rows_.RowOfTrack(track);
    const bool firstRead =
        std::find(queueTracks_.begin(), queueTracks_.end(), track) == queueTracks_.end();
    if (firstRead) {
        queueTracks_.push_back(track);
        rows_.SetVerdict(row, QString());
    }
    TACSFileOut* available = components_.Output(*format);
    if (available == nullptr) {
        FailTrack(track, components_.Unavailable(*format));
        return;
    }
    TACSFileOut& output = *available;
    CurrentTrack_ = track;
    components_.ReadCDIn->SetStartTrack(track);
    components_.ReadCDIn->SetEndTrack(components_.ReadCDIn->StartTrack());
    components_.Tap->SetTrack(verification_.PlaceOf(track));
    if (const auto& lookup = verification_.Lookup())
        reading_.LookupAnswered(lookup->outcome == AccurateRipLookupResult::Outcome::Found);
    const TReadingPlan::TPass pass = reading_.NextPass(track);
    components_.ReadCDIn->SetReadMode(pass.Mode);
    components_.ReadCDIn->SetReadOffset(reading_.Options().ReadOffset);
    if (!Read(key::kAutoCpu))
        output.SetDelay(Read(key::kCpuLevel));
    if (level_ && format->ApplyCompressionLevel != nullptr)
        format->ApplyCompressionLevel(output, *level_);
    const TTrackTarget target = TargetOfRow(row, *format);
    if (!target.error.isEmpty()) {
        FailTrack(track, target.error);
        return;
    }
    // Sub-folders of the template: the temporary file goes beside its final
    // name, on the same file system.
    if (const QString problem = CreateTargetFolders(target.path); !problem.isEmpty()) {
        FailTrack(track, problem);
        return;
    }
    QString temporaryProblem;
    const QString temporary = folder_.TemporaryFor(target.path, &temporaryProblem);
    if (temporary.isEmpty()) {
        FailTrack(track, temporaryProblem);
        return;
    }
    queueFiles_[track] = target.relative;
    TRun run;
    run.Id = ++lastRun_;
    run.Track = track;
    run.Test = pass.Test;
    run.ReRead = reading_.ReRead(track);
    run.Target = target.path;
    run.Temporary = temporary;
    output.SetFileName(LocalPath(run.Temporary).toStdString());
    if (format->ApplyTags != nullptr)
        format->ApplyTags(output, TagsOf(track));
    CurrentOutput_ = &output;
    stopped_ = false;
    activeRun_.store(run.Id);
    run_ = run;
    output.Run();
}

TTrackTags TRipQueue::TagsOf(int track) const
{
    TTrackTags tags;
    if (Read(key::kId3Title))
        tags.Title = StripControls(rows_.Name(rows_.RowOfTrack(track)));
    if (Read(key::kId3Track))
        tags.Track = QString::number(track);
    if (Read(key::kId3Album) && !host_.AlbumText().isEmpty())
        tags.Album = StripControls(host_.AlbumText());
    return tags;
}

QString TRipQueue::TargetPathOfRow(int row) const
{
    const TOutputFormat* format = FindFormat(host_.FormatText());
    return format != nullptr ? TargetOfRow(row, *format).path : QString();
}

TTrackTarget TRipQueue::TargetOfRow(int row, const TOutputFormat& format) const
{
    const metadata::TDiscNames* names = host_.Names();
    return TrackTarget(host_.FolderText(), template_.value_or(Read(key::kFileNameTemplate)),
                       TemplateFieldsOf(names != nullptr ? &names->Metadata() : nullptr, rows_, row,
                                        host_.AlbumText()),
                       format.ExtensionText());
}

QString TRipQueue::TagFinishedFile(const QString& temporary, int track)
{
    if (!Read(key::kFullTags))
        return {};
    // Asked for full tags, a file without them is no finished track.
    if (!TagsLibraryAvailable())
        return QStringLiteral("无法写入标签：%1")
            .arg(QString::fromStdString(TagsLibraryMissingText()));
    const int row = RowOf(track);
    int trackTotal = 0;
    for (int other = 0; other < rows_.rowCount(); ++other)
        if (!rows_.IsData(other))
            ++trackTotal;
    const TrackTags tags = FullTagsOf(host_.Names(), rows_.TrackNumberOfRow(row), trackTotal,
                                      rows_.Name(row), host_.AlbumText(), Read(key::kEmbedCover));
    const TagWriteResult written = WriteTags(LocalPath(temporary).toStdString(), tags);
    if (written.written)
        return {};
    return QStringLiteral("无法写入标签：%1").arg(QString::fromStdString(written.message));
}

void TRipQueue::WriteCoverFile(const QString& target)
{
    const metadata::TDiscNames* names = host_.Names();
    if (names == nullptr || !names->HasCover() || !Read(key::kEmbedCover))
        return;
    const QString folder = QFileInfo(target).path();
    if (!coverFolders_.insert(folder).second)
        return;
    const bool png = names->Cover().mimeType == QStringLiteral("image/png");
    const QString path =
        QDir(folder).filePath(png ? QStringLiteral("cover.png") : QStringLiteral("cover.jpg"));
    if (!WriteCoverFileOnce(path, names->Cover().data))
        host_.ShowRunError(QStringLiteral("无法保存封面“%1”。").arg(path));
}

void TRipQueue::StopCommand()
{
    Timer1_.stop();
    stopped_ = true;
    nextPass_.reset();
    if (awaiting_) {
        TOutputFolder::Discard(awaiting_->Temporary);
        rows_.SetStatus(RowOf(awaiting_->Track), TTrackStatus::Cancelled);
        awaiting_.reset();
    }
    for (const auto& [track, held] : held_) {
        TOutputFolder::Discard(held.Temporary);
        rows_.SetStatus(RowOf(track), TTrackStatus::Cancelled);
    }
    held_.clear();
    if (!piped_.empty()) {
        // Every pipelined track ends as it stands; the last end makes the queue idle.
        host_.SetStopping();
        pipeline_->Stop();
        return;
    }
    if (!run_) {
        GoIdle();
        return;
    }
    // The run ends at its next block; until then nothing new may start on
    // the output it still holds.
    if (CurrentOutput_ != nullptr)
        CurrentOutput_->Stop();
    host_.SetStopping();
}

void TRipQueue::Timer1Timer()
{
    Timer1_.stop();
    // The timer runs from the event loop: nothing may escape into it.
    try {
        RipCommand();
    } catch (const std::exception& e) {
        host_.ShowError(QString::fromUtf8(e.what()));
    }
}

void TRipQueue::OutputProgress(int run, int progress)
{
    if (!run_ || run_->Id != run)
        return;
    const int row = RowOf(run_->Track);
    rows_.SetProgress(row, progress);
    const TTrackStatus status = run_->ReRead ? TTrackStatus::ReReading : TTrackStatus::Converting;
    if (rows_.Status(row) != status)
        rows_.SetStatus(row, status);
}

void TRipQueue::OutputDone(int run)
{
    if (!run_ || run_->Id != run)
        return;
    const TRun ended = *run_;
    const int row = RowOf(ended.Track);
    if (rows_.Progress(row) != 100) {
        TOutputFolder::Discard(ended.Temporary);
        rows_.SetStatus(row, TTrackStatus::Cancelled);
        // Ended early without Stop: the others still go on.
        if (!stopped_) {
            failures_[ended.Track] = text::kEndedEarly;
            Timer1_.start(host_.PauseBetweenTracks() ? 1000 : 0);
        }
        EndRun();
        return;
    }
    const std::optional<verify::TrackChecksums> sums = components_.Tap->Checksums();
    const TReadingPlan::TAfterPass after = reading_.PassDone(ended.Track, sums ? sums->crc32 : 0u);
    if (after == TReadingPlan::TAfterPass::NextPass) {
        // The test read leaves its CRC only.
        TOutputFolder::Discard(ended.Temporary);
        if (stopped_)
            rows_.SetStatus(row, TTrackStatus::Cancelled);
        else
            nextPass_ = ended.Track;
        if (!stopped_)
            Timer1_.start(host_.PauseBetweenTracks() ? 1000 : 0);
        EndRun();
        return;
    }
    run_.reset();
    if (after == TReadingPlan::TAfterPass::AwaitVerdict && stopped_) {
        // An unconfirmed fast read is no track.
        TOutputFolder::Discard(ended.Temporary);
        rows_.SetStatus(row, TTrackStatus::Cancelled);
        EndRun();
        return;
    }
    if (after == TReadingPlan::TAfterPass::AwaitVerdict && sums) {
        // Set aside before the sums go in: the verdict may come at once.
        awaiting_ = ended;
        verification_.TrackRipped(ended.Track, *sums, components_.ReadCDIn->RipReport());
        return;
    }
    if (sums)
        verification_.TrackRipped(ended.Track, *sums, components_.ReadCDIn->RipReport());
    KeepTrack(ended);
}

void TRipQueue::KeepTrack(const TRun& ended)
{
    // Tagged before it gets its name: a file under a final name is complete.
    if (const QString problem = TagFinishedFile(ended.Temporary, ended.Track); !problem.isEmpty()) {
        TOutputFolder::Discard(ended.Temporary);
        FailTrack(ended.Track, problem);
        return;
    }
    if (const QString problem = TOutputFolder::Finish(ended.Temporary, ended.Target);
        !problem.isEmpty()) {
        FailTrack(ended.Track, problem);
        return;
    }
    WriteCoverFile(ended.Target);
    rows_.SetStatus(RowOf(ended.Track), TTrackStatus::Converted);
    // A Stop that came while the last block was written still ends the queue.
    if (!stopped_)
        Timer1_.start(host_.PauseBetweenTracks() ? 1000 : 0);
    EndRun();
}

void TRipQueue::FastReadJudged(int track)
{
    const TRun judged = *awaiting_;
    awaiting_.reset();
    const auto found = verification_.Tracks().find(track);
    const bool keep = found != verification_.Tracks().end() && found->second.Verdict &&
                      reading_.KeepFastRead(track, found->second.Verdict->status);
    if (keep) {
        KeepTrack(judged);
        return;
    }
    TOutputFolder::Discard(judged.Temporary);
    rows_.SetStatus(RowOf(judged.Track), TTrackStatus::ReReading);
    nextPass_ = track;
    Timer1_.start(host_.PauseBetweenTracks() ? 1000 : 0);
}

void TRipQueue::OutputThreadException(int run, const QString& message)
{
    if (!run_ || run_->Id != run)
        return;
    TOutputFolder::Discard(run_->Temporary);
    const int track = run_->Track;
    run_.reset();
    FailTrack(track, message);
}

void TRipQueue::EndRun()
{
    run_.reset();
    if (stopped_)
        GoIdle();
}

void TRipQueue::MarkFailed(int track, const QString& reason)
{
    failures_[track] = reason;
    rows_.SetFailed(RowOf(track), reason);
    host_.ShowRunError(reason);
}

void TRipQueue::FailTrack(int track, const QString& reason)
{
    MarkFailed(track, reason);
    // The next ticked row follows as after a finished track.
    if (!stopped_)
        Timer1_.start(host_.PauseBetweenTracks() ? 1000 : 0);
    EndRun();
}

void TRipQueue::GoIdle()
{
    nextPass_.reset();
    if (awaiting_) {
        TOutputFolder::Discard(awaiting_->Temporary);
        rows_.SetStatus(RowOf(awaiting_->Track), TTrackStatus::Cancelled);
        awaiting_.reset();
    }
    for (const auto& [track, held] : held_) {
        TOutputFolder::Discard(held.Temporary);
        rows_.SetStatus(RowOf(track), TTrackStatus::Cancelled);
    }
    held_.clear();
    // A queue stopped while it waited for the lookup never started a row.
    lookupWait_ = nullptr;
    if (ripped_ && !queueTracks_.empty()) {
        TQueueRecord ended = record_;
        for (int track : queueTracks_) {
            const int row = RowOf(track);
            const auto file = queueFiles_.find(track);
            const QString fileName =
                file != queueFiles_.end()
                    ? file->second
                    : QFileInfo(TargetFileName(ended.Folder, rows_.Name(row), ended.Extension))
                          .fileName();
            QStringList notes = reading_.Notes(track);
            if (const auto failure = failures_.find(track);
                failure != failures_.end() && rows_.Status(row) != TTrackStatus::Converted)
                notes << QStringLiteral("失败原因: ") + failure->second;
            ended.Tracks.push_back(TRecordedTrack{track,
                                                  rows_.Name(row),
                                                  fileName,
                                                  rows_.StatusText(row),
                                                  rows_.Status(row) == TTrackStatus::Converted,
                                                  reading_.TestCrc(track),
                                                  reading_.ReRead(track),
                                                  notes,
                                                  {}});
        }
        queueTracks_.clear();
        ended.ReadingModeText = reading_.ModeText();
        RecordNames(ended, host_.Names());
        // A queue that left no file leaves no log either: a stopped rip leaves
        // the folder as it was.
        const bool anyRipped = std::any_of(ended.Tracks.begin(), ended.Tracks.end(),
                                           [](const TRecordedTrack& t) { return t.Ripped; });
        if (anyRipped) {
            // The folder stays locked until its log and sheet are written.
            unwritten_ = ended;
            folder_.HandOver(unwrittenFolder_);
            if (!verification_.Pending())
                WriteRecords();
        }
    }
    folder_.Release();
    ripped_ = false;
    host_.SetRipping(false);
}

void TRipQueue::WriteRecords()
{
    const TQueueRecord record = *unwritten_;
    unwritten_.reset();
    // Also runs from the event loop when the lookup answers: nothing may escape.
    try {
        // The log takes a free name: the one that is new afterwards is it.
        const QDir folder(record.Folder);
        const QStringList logPattern{QStringLiteral("*.log")};
        const QStringList logsBefore = folder.entryList(logPattern, QDir::Files);
        const QStringList problems = WriteRipRecords(record, verification_, Read(key::kWriteRipLog),
                                                     Read(key::kWriteCueSheet));
        unwrittenFolder_.Release();
        for (const QString& log : folder.entryList(logPattern, QDir::Files))
            if (!logsBefore.contains(log))
                lastLog_ = folder.filePath(log);
        if (!problems.isEmpty()) {
            recordsFailed_ = true;
            host_.ShowRunError(problems.join(QLatin1Char(' ')));
        }
        SearchOffsetAfter(record);
    } catch (const std::exception& e) {
        unwrittenFolder_.Release();
        recordsFailed_ = true;
        host_.ShowRunError(QString::fromUtf8(e.what()));
    }
    try {
        ReportEnd();
    } catch (const std::exception& e) {
        host_.ShowError(QString::fromUtf8(e.what()));
    }
}

void TRipQueue::SearchOffsetAfter(const TQueueRecord& record)
{
    const auto& lookup = verification_.Lookup();
    const auto& disc = verification_.Disc();
    if (!lookup || lookup->outcome != AccurateRipLookupResult::Outcome::Found || !disc || run_)
        return;
    // The shortest track that mismatched is the quickest to read again.
    std::optional<int> track;
    std::int64_t shortest = 0;
    for (const TRecordedTrack& recorded : record.Tracks) {
        if (!recorded.Ripped)
            continue;
        const auto found = verification_.Tracks().find(recorded.Number);
        if (found == verification_.Tracks().end() || !found->second.Verdict ||
            found->second.Verdict->status != verify::AccurateRipStatus::Mismatch)
            return;
        const disc::Track* onDisc = disc->FindTrack(recorded.Number);
        if (onDisc != nullptr && (!track || onDisc->Sectors() < shortest)) {
            track = recorded.Number;
            shortest = onDisc->Sectors();
        }
    }
    if (track)
        offsetSearch_.Start(
            TOffsetSearchRequest{searchDrive_, record.DriveName, *track, *disc, lookup->pressings});
}

} // namespace sonfeld::app
