// The rip queue's pipelined mode: the drive reads the ticked tracks one after
// the other while encoders follow on every core. The file policy is the
// sequential queue's: a track's file is written under a temporary name and
// takes its own name only once the track is read and encoded to the end.
//
// In "快速并校验" the reader starts once the AccurateRip lookup has answered
// (at most its time-out): only a disc the database knows is read fast. Each
// fast read's file is held until its verdict; a read the database does not
// confirm is discarded and its track is added again, read securely. Test and
// copy reads each track twice and stays one track at a time.

#include <QThread>
#include <algorithm>
#include <exception>

#include "app/files/file_naming.h"
#include "app/files/local_path.h"
#include "app/formats/encoder_settings.h"
#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/core/output.h"
#include "rip_components.h"
#include "rip_queue.h"
#include "track_target.h"

namespace sonfeld::app {

namespace {
// What the spools of one rip may hold in memory before they go to disk.
constexpr std::size_t kSpoolMemory = std::size_t{256} << 20;
} // namespace

bool TRipQueue::Pipelined() const
{
    return !Read(key::kSequentialMode) && !reading_.Options().TestAndCopy;
}

void TRipQueue::StartPipelinedQueue(const TOutputFormat& format)
{
    if (!pipeline_) {
        pipeline_ =
            std::make_unique<TRipPipeline>(*components_.ReadCDIn, *components_.Tap,
                                           std::max(1, QThread::idealThreadCount()), kSpoolMemory);
        connect(pipeline_.get(), &TRipPipeline::ReadProgress, this,
                &TRipQueue::PipelineReadProgress);
        connect(pipeline_.get(), &TRipPipeline::ReadEnded, this, &TRipQueue::PipelineRead);
        connect(pipeline_.get(), &TRipPipeline::EncodeProgress, this,
                &TRipQueue::PipelineEncodeProgress);
        connect(pipeline_.get(), &TRipPipeline::TrackEnded, this, &TRipQueue::PipelineTrackEnded);
        connect(pipeline_.get(), &TRipPipeline::Idle, this, &TRipQueue::PipelineIdle);
    }
    stopped_ = false;
    pipelineFormat_ = &format;
    const auto& lookup = verification_.Lookup();
    if (reading_.Options().Mode == TReadingMode::FastVerify && !lookup) {
        // The rows stay "未转换" until the answer says how to read them.
        lookupWait_ = &format;
        return;
    }
    if (lookup)
        reading_.LookupAnswered(lookup->outcome == AccurateRipLookupResult::Outcome::Found);
    std::vector<TPipelineTrack> tracks;
    const bool available = components_.Output(format) != nullptr;
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!rows_.Checked(row) || rows_.Status(row) != TTrackStatus::NotConverted)
            continue;
        const int track = rows_.TrackNumberOfRow(row);
        queueTracks_.push_back(track);
        // A track that cannot start fails with the reason; the others go on.
        if (!available) {
            MarkFailed(track, components_.Unavailable(format));
            continue;
        }
        QString problem;
        std::optional<TPipelineTrack> job = PipedJob(row, format, problem);
        if (!job) {
            MarkFailed(track, problem);
            continue;
        }
        rows_.SetVerdict(row, QString());
        CurrentTrack_ = track;
        tracks.push_back(std::move(*job));
    }
    for (TPipelineTrack& job : tracks)
        pipeline_->Add(std::move(job));
    if (piped_.empty())
        FinishQueue();
}

std::optional<TPipelineTrack> TRipQueue::PipedJob(int row, const TOutputFormat& format,
                                                  QString& problem)
{
    const int track = rows_.TrackNumberOfRow(row);
    const TTrackTarget target = TargetOfRow(row, format);
    // Sub-folders of the template: the temporary file goes beside its
    // final name, on the same file system.
    problem = target.error;
    if (problem.isEmpty())
        problem = CreateTargetFolders(target.path);
    if (!problem.isEmpty())
        return std::nullopt;
    const QString temporary = folder_.TemporaryFor(target.path, &problem);
    if (temporary.isEmpty())
        return std::nullopt;
    queueFiles_[track] = target.relative;
    TRun run;
    run.Id = ++lastRun_;
    run.Track = track;
    run.ReRead = reading_.ReRead(track);
    run.Target = target.path;
    run.Temporary = temporary;

    TPipelineTrack job;
    job.Id = run.Id;
    job.Track = track;
    job.Place = verification_.PlaceOf(track);
    job.ReadMode = reading_.NextPass(track).Mode;
    job.ReadOffset = reading_.Options().ReadOffset;
    job.Output = format.MakeOutput();
    if (format.ApplySettings != nullptr)
        format.ApplySettings(*job.Output);
    if (level_ && format.ApplyCompressionLevel != nullptr)
        format.ApplyCompressionLevel(*job.Output, *level_);
    if (!Read(key::kAutoCpu))
        job.Output->SetDelay(Read(key::kCpuLevel));
    if (format.ApplyTags != nullptr)
        format.ApplyTags(*job.Output, TagsOf(track));
    job.Output->SetFileName(LocalPath(run.Temporary).toStdString());
    piped_[run.Id] = TPipedRun{run, track, false, std::nullopt};
    return job;
}

void TRipQueue::PipelineLookupAnswered()
{
    const TOutputFormat* format = lookupWait_;
    if (format == nullptr)
        return;
    lookupWait_ = nullptr;
    // Runs from the event loop: nothing may escape into it.
    try {
        StartPipelinedQueue(*format);
    } catch (const std::exception& e) {
        host_.ShowError(QString::fromUtf8(e.what()));
        if (piped_.empty())
            GoIdle();
    }
}

void TRipQueue::PipelineReadProgress(int id, int /*percent*/)
{
    // The selection stays where the user put it.
    const auto found = piped_.find(id);
    if (found != piped_.end() && !found->second.ReadDone)
        rows_.SetStatus(RowOf(found->second.Track),
                        found->second.Run.ReRead ? TTrackStatus::ReReading : TTrackStatus::Reading);
}

void TRipQueue::PipelineRead(int id, const TPipelineRead& read)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    found->second.ReadDone = true;
    found->second.Read = read;
    const int row = RowOf(found->second.Track);
    if (read.Ok && rows_.Status(row) == TTrackStatus::Reading)
        rows_.SetStatus(row, TTrackStatus::Converting);
}

void TRipQueue::PipelineEncodeProgress(int id, int percent)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    const int row = RowOf(found->second.Track);
    rows_.SetProgress(row, percent);
    if (found->second.Run.ReRead)
        rows_.SetStatus(row, TTrackStatus::ReReading);
    else
        rows_.SetStatus(row,
                        found->second.ReadDone ? TTrackStatus::Converting : TTrackStatus::Reading);
}

void TRipQueue::PipelineTrackEnded(int id, TPipelineEnd end, const QString& error)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    const TPipedRun ended = found->second;
    piped_.erase(found);
    const int row = RowOf(ended.Track);
    switch (end) {
    case TPipelineEnd::Done: {
        const std::optional<verify::TrackChecksums> sums =
            ended.Read ? ended.Read->Checksums : std::nullopt;
        const TReadingPlan::TAfterPass after =
            reading_.PassDone(ended.Track, sums ? sums->crc32 : 0u);
        if (after == TReadingPlan::TAfterPass::AwaitVerdict && stopped_) {
            // An unconfirmed fast read is no track.
            TOutputFolder::Discard(ended.Run.Temporary);
            rows_.SetStatus(row, TTrackStatus::Cancelled);
            break;
        }
        if (after == TReadingPlan::TAfterPass::AwaitVerdict && sums) {
            // Held before the sums go in: the verdict comes at once, the lookup
            // having answered before this read started.
            held_[ended.Track] = ended.Run;
            verification_.TrackRipped(ended.Track, *sums, ended.Read->Report);
            break;
        }
        KeepPipedTrack(ended.Run);
        if (sums)
            verification_.TrackRipped(ended.Track, *sums, ended.Read->Report);
        break;
    }
    case TPipelineEnd::Stopped:
        TOutputFolder::Discard(ended.Run.Temporary);
        rows_.SetStatus(row, TTrackStatus::Cancelled);
        break;
    case TPipelineEnd::Failed:
        TOutputFolder::Discard(ended.Run.Temporary);
        MarkFailed(ended.Track, error);
        break;
    case TPipelineEnd::Skipped:
        // Never encoded: the row is still to rip, and leaves no trace in the records.
        TOutputFolder::Discard(ended.Run.Temporary);
        rows_.SetProgress(row, 0);
        rows_.SetStatus(row, TTrackStatus::NotConverted);
        queueTracks_.erase(std::remove(queueTracks_.begin(), queueTracks_.end(), ended.Track),
                           queueTracks_.end());
        break;
    }
}

void TRipQueue::KeepPipedTrack(const TRun& run)
{
    // Tagged before it gets its name: a file under a final name is complete.
    QString problem = TagFinishedFile(run.Temporary, run.Track);
    if (problem.isEmpty())
        problem = TOutputFolder::Finish(run.Temporary, run.Target);
    if (!problem.isEmpty()) {
        TOutputFolder::Discard(run.Temporary);
        MarkFailed(run.Track, problem);
        return;
    }
    WriteCoverFile(run.Target);
    rows_.SetProgress(RowOf(run.Track), 100);
    rows_.SetStatus(RowOf(run.Track), TTrackStatus::Converted);
}

void TRipQueue::PipedFastReadJudged(int track)
{
    const TRun judged = held_.at(track);
    held_.erase(track);
    // A verdict that came after the pipeline went idle ends the queue's run.
    const auto settle = [this] {
        if (!pipeline_->Busy())
            PipelineIdle();
    };
    const auto found = verification_.Tracks().find(track);
    if (found != verification_.Tracks().end() && found->second.Verdict &&
        reading_.KeepFastRead(track, found->second.Verdict->status)) {
        KeepPipedTrack(judged);
        settle();
        return;
    }
    TOutputFolder::Discard(judged.Temporary);
    const int row = RowOf(track);
    if (stopped_ || pipelineFormat_ == nullptr) {
        rows_.SetStatus(row, TTrackStatus::Cancelled);
        settle();
        return;
    }
    // Read again securely behind the tracks already queued; the plan now
    // reads this track securely and records why.
    rows_.SetProgress(row, 0);
    rows_.SetStatus(row, TTrackStatus::ReReading);
    QString problem;
    std::optional<TPipelineTrack> job = PipedJob(row, *pipelineFormat_, problem);
    if (!job) {
        MarkFailed(track, problem);
        settle();
        return;
    }
    pipeline_->Add(std::move(*job));
}

void TRipQueue::PipelineIdle()
{
    if (!piped_.empty() || !held_.empty())
        return;
    if (stopped_) {
        GoIdle();
        return;
    }
    // Rows ticked meanwhile are ripped next; otherwise the queue ends as usual.
    RipCommand();
}

void TRipQueue::EndPipeline()
{
    if (!pipeline_)
        return;
    const std::map<int, TPipedRun> left = piped_;
    piped_.clear();
    // Stops every read and encoder and waits for their threads.
    pipeline_.reset();
    for (const auto& [id, run] : left)
        TOutputFolder::Discard(run.Run.Temporary);
    for (const auto& [track, held] : held_)
        TOutputFolder::Discard(held.Temporary);
    held_.clear();
}

} // namespace sonfeld::app
