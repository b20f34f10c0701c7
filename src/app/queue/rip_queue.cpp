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
#include "one_track_queue.h"
#include "pipelined_queue.h"
#include "rip_audio_spool.h"
#include "rip_components.h"
#include "single_file_queue.h"
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

TRipQueue::TRipQueue(TRipComponents& components, TTrackListModel& rows, TRipQueueInputs& inputs,
                     TRipQueueReactions& window, QObject* parent)
    : QObject(parent), components_(components), rows_(rows), inputs_(inputs), window_(window),
      oneTrack_(std::make_unique<TOneTrackQueue>(*this)),
      pipelined_(std::make_unique<TPipelinedQueue>(*this)),
      singleFile_(std::make_unique<TSingleFileQueue>(*this))
{
    // A kept file is "完成转换" only when a database or two agreeing reads
    // proved it (an image is read exactly); otherwise its row says so.
    const auto showProof = [this](int track) {
        const int row = rows_.RowOfTrack(track);
        const auto found = verification_.Tracks().find(track);
        if (rows_.TrackNumberOfRow(row) != track || !Finished(rows_.Status(row)) ||
            found == verification_.Tracks().end() || !found->second.Verdict)
            return;
        const TReadProofStatus proof = found->second.Typed.Proof.Status;
        rows_.SetStatus(row, proof == TReadProofStatus::Suspicious
                                 ? TTrackStatus::ConvertedSuspicious
                             : proof == TReadProofStatus::Unproven ? TTrackStatus::ConvertedUnproven
                                                                   : TTrackStatus::Converted);
    };
    connect(&verification_, &TRipVerification::TrackVerified, this,
            [this, showProof](int track, const TMessage& verdict) {
                rows_.SetVerdict(rows_.RowOfTrack(track), verdict);
                if (!oneTrack_->TrackVerified(track))
                    pipelined_->TrackVerified(track);
                if (Finished(rows_.Status(rows_.RowOfTrack(track))))
                    showProof(track);
                else
                    proofPending_.insert(track);
            });
    connect(&rows_, &QAbstractItemModel::dataChanged, this,
            [this, showProof](const QModelIndex& from, const QModelIndex& to) {
                if (from.column() > tlStatus || to.column() < tlStatus)
                    return;
                for (int row = from.row(); row <= to.row(); ++row) {
                    const int track = rows_.TrackNumberOfRow(row);
                    // A read again waits for its own verdict.
                    if (rows_.Status(row) == TTrackStatus::ReReading)
                        proofPending_.erase(track);
                    else if (Finished(rows_.Status(row)) && proofPending_.erase(track) > 0)
                        showProof(track);
                }
            });
    connect(&verification_, &TRipVerification::LookupAnswered, pipelined_.get(),
            &TPipelinedQueue::LookupAnswered);
    connect(&offsetSearch_, &TOffsetSearch::Finished, this,
            [this](const QString& drive, std::optional<int> offset, const QString&) {
                // A failed search finds nothing; the rip itself is unchanged.
                if (offset)
                    window_.OfferReadOffset(drive, *offset);
            });
    connect(&verification_, &TRipVerification::Settled, this, [this] {
        if (unwritten_)
            WriteRecords();
    });
    // A new track list is another disc: the rip's kept audio goes.
    connect(&rows_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        components_.SpoolTap->SetSpool(nullptr);
        keptAudio_.reset();
    });
}

TRipQueue::~TRipQueue()
{
    // The pipeline first, as its owner would: it reads from the components'
    // CD input. The components, which go first, wound up a running track's
    // file; each strategy removes its temporary files.
    singleFile_.reset();
    pipelined_.reset();
    oneTrack_.reset();
}

bool TRipQueue::TrackRunning() const
{
    return oneTrack_->Busy() || pipelined_->Busy() || singleFile_->Busy();
}

void TRipQueue::EndPipeline()
{
    pipelined_->End();
    singleFile_->End();
}

TACSOutput* TRipQueue::CurrentOutput() const
{
    return oneTrack_->CurrentOutput();
}

QString TRipQueue::CurrentTarget() const
{
    return oneTrack_->CurrentTarget();
}

QTimer& TRipQueue::Timer1()
{
    return oneTrack_->Timer();
}

bool TRipQueue::Pipelined() const
{
    return !Read(key::kSequentialMode);
}

TQueueStrategy& TRipQueue::StrategyFor(bool pipelined)
{
    if (imageQueue_)
        return *singleFile_;
    if (pipelined)
        return *pipelined_;
    return *oneTrack_;
}

void TRipQueue::DropUnconfirmed()
{
    oneTrack_->DropUnconfirmed();
    pipelined_->DropUnconfirmed();
}

void TRipQueue::RipCommand()
{
    if (TrackRunning())
        return;
    // The same track again: its row is checked and the queue is running.
    if (folder_.Held() && oneTrack_->StartNextPass())
        return;
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
            window_.ShowMessage(text::kReminder, text::kReminderCaption);
        return;
    }
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!ToRip(row))
            continue;
        const bool newQueue = !folder_.Held();
        if (newQueue) {
            // A new queue: checked once, before its first track.
            const TOutputFormat* format = FindFormat(inputs_.FormatText());
            if (format != nullptr) {
                if (const TMessage clash = SameFileNames(*format); !clash.IsEmpty()) {
                    GoIdle();
                    window_.ShowMessage(clash, text::kSameFileNameCaption);
                    return;
                }
            }
            // An earlier queue still waiting for its verdicts is written as it
            // stands, and lets its folder go; its message is no longer wanted.
            summary_.reset();
            ejectAfter_ = false;
            if (unwritten_)
                WriteRecords();
            if (const TMessage problem = folder_.Acquire(inputs_.FolderText());
                !problem.IsEmpty()) {
                GoIdle();
                window_.ShowError(problem);
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
            imageQueue_ = Read(key::kOutputMode) == QStringLiteral("singleFile");
            searchDrive_ = components_.ReadCDIn->CurrentDrive();
            verification_.StartQueue(searchDrive_);
            const QString drive = QString::fromStdString(components_.ReadCDIn->DriveName());
            reading_.StartQueue(readingOptions_ ? *readingOptions_ : StoredReadingOptions(drive));
            deEmphasis_ = deEmphasisGiven_.value_or(Read(key::kDeEmphasis));
            const QString cueFileType =
                format != nullptr ? QString::fromLatin1(format->CueFileType) : QString();
            record_ = TQueueRecord{inputs_.FolderText(),
                                   inputs_.AlbumText(),
                                   format != nullptr ? format->ExtensionText() : QString(),
                                   drive,
                                   reading_.Options().ReadOffset,
                                   ReadModeOf(reading_.Options().Mode),
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
            proofPending_.clear();
            // ReplayGain: every audio track of the disc makes the album
            // (the hidden track 0 is no track of it).
            std::vector<int> discTracks;
            for (int other = 0; other < rows_.rowCount(); ++other)
                if (!rows_.IsData(other) && rows_.TrackNumberOfRow(other) > 0)
                    discTracks.push_back(rows_.TrackNumberOfRow(other));
            albumGain_.Begin(ReplayGainWanted(), std::move(discTracks));
            // A lossy rip keeps its audio as read for a repair from the CTDB;
            // the rip before is forgotten.
            keptAudio_.reset();
            if (keepAudioForRepair_ && format != nullptr && format->Lossy && !imageQueue_ &&
                !verification_.CtdbTocId().isEmpty())
                keptAudio_ = std::make_shared<TRipAudioSpool>(*format, level_);
            components_.SpoolTap->SetSpool(keptAudio_);
        }
        // The pipelined queue takes all its rows at once; rows it takes on
        // its way leave the selection where the user put it.
        const bool pipelined = Pipelined();
        if (newQueue || !pipelined)
            window_.SelectRow(row);
        window_.SetRipping(true);
        ripped_ = true;
        if (const TOutputFormat* format = FindFormat(inputs_.FormatText()); format != nullptr)
            StrategyFor(pipelined).Start(row, *format);
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
        window_.ShowMessage(text::kNothingToRip, text::kNothingToRipCaption);
        return;
    }
    // Nothing runs or waits now: the rows are as the queue leaves them.
    TRipSummary summary;
    summary.Folder = record_.Folder;
    summaryRipped_.clear();
    for (int track : queueTracks_) {
        const int row = RowOf(track);
        ++summary.Tracks;
        if (Finished(rows_.Status(row))) {
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
        const TReadProof& proof = found->second.Typed.Proof;
        if (proof.Status == TReadProofStatus::Suspicious)
            ++summary.Suspicious;
        else if (proof.Proven())
            ++summary.Proven;
        else
            ++summary.Unproven;
        if (found->second.Verdict->status == verify::AccurateRipStatus::Match)
            ++summary.Accurate;
        else if (found->second.Verdict->status == verify::AccurateRipStatus::Mismatch)
            ++summary.Mismatched;
    }
    summary.CtdbMismatch =
        verification_.CtdbDiscVerdict().Verdict.Status == TDatabaseStatus::Mismatch;
    const bool eject = ejectAfter_;
    ejectAfter_ = false;
    if (summary.Clean())
        window_.ShowMessage(text::kAllDone, text::kAllDoneCaption);
    else
        window_.ShowRipSummary(summary);
    if (eject)
        components_.ReadCDIn->Eject();
}

TMessage TRipQueue::SameFileNames(const TOutputFormat& format) const
{
    // Names that differ only in case are one file on FAT, NTFS and SMB.
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
    // A row whose template fails has no file: it fails on its own when reached.
    const auto fileOf = [this, &format](int row) { return TargetOfRow(row, format).relative; };
    std::vector<TMessage> clashes;
    clashes.reserve(static_cast<std::size_t>(rows_.rowCount()));
    QString named; // what the clashes so far name: a row named there is not named again
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
        if (labels.isEmpty() || named.contains(rows_.Label(row)))
            continue;
        const QString others = labels.join(QStringLiteral("、"));
        named += rows_.Label(row) + others + file;
        clashes.push_back(TMessage(QT_TRANSLATE_NOOP("sonfeld", "%1、%2 → “%3”"))
                              .Arg(rows_.Label(row))
                              .Arg(others)
                              .Arg(file));
    }
    if (clashes.empty())
        return {};
    return TMessage(QT_TRANSLATE_NOOP("sonfeld", "以下音轨会写入同一个文件，请更改名称: %1"))
        .Arg(TMessage::Joined(std::move(clashes), QStringLiteral("；")));
}

bool TRipQueue::CheckRipSettings()
{
    const int count = rows_.rowCount();
    const bool nameGiven = count > 0 && !rows_.Name(count - 1).isEmpty();
    const bool driveSelected = inputs_.DriveSelected();
    if (!driveSelected)
        window_.ShowMessage(text::kSelectDrive, text::kSelectDriveCaption);

    const QString folder = inputs_.FolderText();
    // Only the rows still to be ripped are tested: the files this queue has
    // just written are not in the way of the next track. Without a folder
    // there is nothing to test yet; the folder dialog comes below.
    const TOutputFormat* format = FindFormat(inputs_.FormatText());
    if (!folder.isEmpty() && format != nullptr && Read(key::kNoOverwrite)) {
        for (int row = 0; row < count; ++row) {
            if (!ToRip(row))
                continue;
            const QString target = TargetOfRow(row, *format).path;
            if (!target.isEmpty() && FileExistsIgnoringCase(target)) {
                window_.ShowMessage(text::kSameNameFound, text::kSameNameFoundCaption);
                return false;
            }
        }
    }
    if (!folder.isEmpty() && nameGiven && driveSelected)
        return true;
    if (driveSelected)
        window_.BrowseFolder();
    return false;
}

TTrackTags TRipQueue::TagsOf(int track) const
{
    TTrackTags tags;
    if (Read(key::kId3Title))
        tags.Title = StripControls(rows_.Name(rows_.RowOfTrack(track)));
    if (Read(key::kId3Track))
        tags.Track = QString::number(track);
    if (Read(key::kId3Album) && !inputs_.AlbumText().isEmpty())
        tags.Album = StripControls(inputs_.AlbumText());
    return tags;
}

QString TRipQueue::TargetPathOfRow(int row) const
{
    const TOutputFormat* format = FindFormat(inputs_.FormatText());
    return format != nullptr ? TargetOfRow(row, *format).path : QString();
}

TTrackTarget TRipQueue::TargetOfRow(int row, const TOutputFormat& format) const
{
    const metadata::TDiscNames* names = inputs_.Names();
    return TrackTarget(inputs_.FolderText(), template_.value_or(Read(key::kFileNameTemplate)),
                       TemplateFieldsOf(names != nullptr ? &names->Metadata() : nullptr, rows_, row,
                                        inputs_.AlbumText()),
                       format.ExtensionText());
}

TMessage TRipQueue::TagFinishedFile(const QString& temporary, int track,
                                    std::optional<TrackTags>* tagsKept)
{
    TrackTags gain;
    albumGain_.AddTrackValues(track, gain);
    if (!Read(key::kFullTags)) {
        if (gain.Empty())
            return {};
        // Only the gain: a file without it is still a whole track.
        gain.id3Version = Id3VersionForTags();
        const TagWriteResult written = WriteTags(LocalPath(temporary).toStdString(), gain);
        if (!written.written)
            window_.ShowRunError(QStringLiteral("无法写入 ReplayGain：%1")
                                     .arg(QString::fromStdString(written.message)));
        else if (tagsKept != nullptr)
            *tagsKept = gain;
        return {};
    }
    // Asked for full tags, a file without them is no finished track.
    if (!TagsLibraryAvailable())
        return TagsNotWritten(TagsLibraryMissingText());
    const int row = RowOf(track);
    int trackTotal = 0;
    for (int other = 0; other < rows_.rowCount(); ++other)
        if (!rows_.IsData(other))
            ++trackTotal;
    TrackTags tags = FullTagsOf(inputs_.Names(), rows_.TrackNumberOfRow(row), trackTotal,
                                rows_.Name(row), inputs_.AlbumText(), Read(key::kEmbedCover));
    // The disc's own flag: a player needs it to de-emphasise the audio (not
    // when the file's audio was de-emphasised already).
    if (const auto& disc = verification_.Disc())
        if (const disc::Track* onDisc = disc->FindTrack(track))
            tags.preEmphasis = onDisc->preEmphasis && !DeEmphasised(track);
    tags.replayGainTrackGain = gain.replayGainTrackGain;
    tags.replayGainTrackPeak = gain.replayGainTrackPeak;
    const TagWriteResult written = WriteTags(LocalPath(temporary).toStdString(), tags);
    if (written.written && tagsKept != nullptr)
        *tagsKept = tags;
    if (written.written)
        return {};
    return TagsNotWritten(written.message);
}

void TRipQueue::WriteCoverFile(const QString& target)
{
    const metadata::TDiscNames* names = inputs_.Names();
    if (names == nullptr || !names->HasCover() || !Read(key::kEmbedCover))
        return;
    const QString folder = QFileInfo(target).path();
    if (!coverFolders_.insert(folder).second)
        return;
    const bool png = names->Cover().mimeType == QStringLiteral("image/png");
    const QString path =
        QDir(folder).filePath(png ? QStringLiteral("cover.png") : QStringLiteral("cover.jpg"));
    if (!WriteCoverFileOnce(path, names->Cover().data))
        window_.ShowRunError(
            TMessage(QT_TRANSLATE_NOOP("sonfeld", "无法保存封面“%1”。")).Arg(path));
}

std::optional<TTrackRun> TRipQueue::RunOfRow(int row, const TOutputFormat& format,
                                             TMessage& problem)
{
    const int track = rows_.TrackNumberOfRow(row);
    const TTrackTarget target = TargetOfRow(row, format);
    // Sub-folders of the template: the temporary file goes beside its final
    // name, on the same file system.
    problem = target.error;
    if (problem.IsEmpty())
        problem = CreateTargetFolders(target.path);
    if (!problem.IsEmpty())
        return std::nullopt;
    const QString temporary = folder_.TemporaryFor(target.path, &problem);
    if (temporary.isEmpty())
        return std::nullopt;
    queueFiles_[track] = target.relative;
    TTrackRun run;
    run.Track = track;
    run.Target = target.path;
    run.Temporary = temporary;
    run.DeEmphasis = DeEmphasised(track);
    return run;
}

bool TRipQueue::DeEmphasised(int track) const
{
    if (!deEmphasis_ || !verification_.Disc())
        return false;
    const disc::Track* onDisc = verification_.Disc()->FindTrack(track);
    return onDisc != nullptr && onDisc->preEmphasis;
}

TMessage TRipQueue::KeepFile(const TTrackRun& run)
{
    // Tagged before it gets its name: a file under a final name is complete.
    std::optional<TrackTags> fileTags;
    TMessage problem = TagFinishedFile(run.Temporary, run.Track, &fileTags);
    if (problem.IsEmpty())
        problem = TOutputFolder::Finish(run.Temporary, run.Target);
    if (!problem.IsEmpty()) {
        TOutputFolder::Discard(run.Temporary);
        return problem;
    }
    WriteCoverFile(run.Target);
    if (keptAudio_)
        keptAudio_->Keep(run.Track, run.Target, TagsOf(run.Track), fileTags, run.DeEmphasis);
    albumGain_.Kept(run.Track, LocalPath(run.Target).toStdString());
    return {};
}

bool TRipQueue::KeepsFastRead(int track)
{
    const auto found = verification_.Tracks().find(track);
    return found != verification_.Tracks().end() && found->second.Verdict &&
           reading_.KeepFastRead(track, found->second.Typed);
}

void TRipQueue::StopCommand()
{
    stopped_ = true;
    DropUnconfirmed();
    // The running tracks end as they stand; the last end makes the queue idle.
    const bool windingUp =
        oneTrack_->TracksRunning() || pipelined_->TracksRunning() || singleFile_->TracksRunning();
    if (windingUp)
        window_.SetStopping();
    oneTrack_->StopTracks();
    pipelined_->StopTracks();
    singleFile_->StopTracks();
    if (!windingUp)
        GoIdle();
}

void TRipQueue::MarkFailed(int track, const TMessage& reason)
{
    failures_[track] = reason;
    rows_.SetFailed(RowOf(track), reason);
    window_.ShowRunError(reason);
}

void TRipQueue::GoIdle()
{
    // A queue stopped while it waited for the lookup never started a row.
    DropUnconfirmed();
    if (imageQueue_) {
        // The image wrote its own log and sheet.
        lastLog_ = singleFile_->LogPath();
        queueTracks_.clear();
    }
    if (ripped_ && !queueTracks_.empty()) {
        // The album pass, once every track of the queue has ended.
        const TAlbumGainPlan gainPlan = albumGain_.Finish(Id3VersionForTags());
        const QStringList gainNotes = gainPlan.Notes + RunAlbumPass(gainPlan);
        if (keptAudio_)
            keptAudio_->SetAlbumGain(gainPlan.Files, gainPlan.Album, gainPlan.Id3Version);
        albumGain_.Begin(false, {});
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
                failure != failures_.end() && !Finished(rows_.Status(row)))
                notes << QStringLiteral("失败原因: ") + failure->second.Chinese();
            if (track == queueTracks_.back())
                notes << gainNotes;
            ended.Tracks.push_back(TRecordedTrack{track,
                                                  rows_.Name(row),
                                                  fileName,
                                                  rows_.StatusText(row),
                                                  Finished(rows_.Status(row)),
                                                  reading_.TestCrc(track),
                                                  reading_.ReRead(track),
                                                  notes,
                                                  {}});
            ended.Tracks.back().DeEmphasised = Finished(rows_.Status(row)) && DeEmphasised(track);
        }
        queueTracks_.clear();
        if (const int hidden = rows_.RowOfTrack(0);
            rows_.TrackNumberOfRow(hidden) == 0 && rows_.rowCount() > 0)
            ended.HiddenTrackSectors = rows_.LengthFrames(hidden);
        ended.ReadingModeText = reading_.ModeText();
        RecordNames(ended, inputs_.Names());
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
    window_.SetRipping(false);
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
        if (keptAudio_ && !lastLog_.isEmpty())
            keptAudio_->SetLogPath(lastLog_);
        if (!problems.isEmpty()) {
            recordsFailed_ = true;
            window_.ShowRunError(problems.join(QLatin1Char(' ')));
        }
        SearchOffsetAfter(record);
    } catch (const std::exception& e) {
        unwrittenFolder_.Release();
        recordsFailed_ = true;
        window_.ShowRunError(QString::fromUtf8(e.what()));
    }
    try {
        ReportEnd();
    } catch (const std::exception& e) {
        window_.ShowError(QString::fromUtf8(e.what()));
    }
}

void TRipQueue::SearchOffsetAfter(const TQueueRecord& record)
{
    const auto& lookup = verification_.Lookup();
    const auto& disc = verification_.Disc();
    if (!lookup || lookup->outcome != AccurateRipLookupResult::Outcome::Found || !disc ||
        oneTrack_->TracksRunning())
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
