#include "pipelined_queue.h"

#include <QThread>
#include <algorithm>
#include <exception>

#include "app/files/local_path.h"
#include "app/settings/setting_keys.h"
#include "app/tracks/drive_kind.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/core/output.h"
#include "audio/formats/tags/replay_gain_tap.h"
#include "rip_components.h"
#include "rip_queue.h"

namespace sonfeld::app {

namespace {
// What the spools of one rip from a drive may hold in memory before they go
// to disk: a drive never waits for the encoders.
constexpr std::size_t kSpoolMemory = std::size_t{256} << 20;
// An image can be read again at any pace, so its reader waits for the
// encoders instead: a minute and a half of audio keeps every encoder busy,
// and a longer track spills only once an encoder is about to want the next one.
constexpr std::size_t kImageSpoolMemory = std::size_t{16} << 20;
} // namespace

TPipelinedQueue::TPipelinedQueue(TRipQueue& queue) : TQueueStrategy(queue)
{
}

TPipelinedQueue::~TPipelinedQueue()
{
    End();
}

void TPipelinedQueue::Start(int /*row*/, const TOutputFormat& format)
{
    const bool image = IsImageDrive(queue_.components_.ReadCDIn->CurrentDrive());
    if (pipeline_ && pipelineReadsImage_ != image && !pipeline_->Busy())
        pipeline_.reset();
    if (!pipeline_) {
        pipelineReadsImage_ = image;
        pipeline_ = std::make_unique<TRipPipeline>(
            *queue_.components_.ReadCDIn, *queue_.components_.Tap,
            std::max(1, QThread::idealThreadCount()), image ? kImageSpoolMemory : kSpoolMemory,
            image ? SpoolOverflow::WaitForRoom : SpoolOverflow::SpillToFile);
        connect(pipeline_.get(), &TRipPipeline::ReadProgress, this,
                [this](int id, int) { ReadProgress(id); });
        connect(pipeline_.get(), &TRipPipeline::ReadEnded, this, &TPipelinedQueue::ReadEnded);
        connect(pipeline_.get(), &TRipPipeline::EncodeProgress, this,
                &TPipelinedQueue::EncodeProgress);
        connect(pipeline_.get(), &TRipPipeline::TrackEnded, this, &TPipelinedQueue::TrackEnded);
        connect(pipeline_.get(), &TRipPipeline::Idle, this, &TPipelinedQueue::Idle);
        // What the databases said by the time a read starts decides its mode.
        pipeline_->SetReadModeAtStart(
            [this](int track) { return queue_.reading_.NextPass(track).Mode; });
    }
    StartQueue(format);
}

void TPipelinedQueue::StartQueue(const TOutputFormat& format)
{
    TTrackListModel& rows = queue_.rows_;
    TReadingPlan& reading = queue_.reading_;
    queue_.stopped_ = false;
    format_ = &format;
    // Reading starts at once: a fast read waits for its verdict, never the reader.
    if (queue_.verification_.Lookup() && queue_.verification_.CtdbLookupAnswer())
        reading.LookupAnswered(queue_.verification_.DiscKnown());
    std::vector<TPipelineTrack> tracks;
    const bool available = queue_.components_.Output(format) != nullptr;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (!rows.Checked(row) || rows.Status(row) != TTrackStatus::NotConverted)
            continue;
        const int track = rows.TrackNumberOfRow(row);
        queue_.queueTracks_.push_back(track);
        // A track that cannot start fails with the reason; the others go on.
        if (!available) {
            queue_.MarkFailed(track, queue_.components_.Unavailable(format));
            continue;
        }
        TMessage problem;
        std::optional<TPipelineTrack> job = PipedJob(row, format, problem);
        if (!job) {
            queue_.MarkFailed(track, problem);
            continue;
        }
        rows.SetVerdict(row, QString());
        queue_.CurrentTrack_ = track;
        tracks.push_back(std::move(*job));
    }
    for (TPipelineTrack& job : tracks)
        pipeline_->Add(std::move(job));
    if (piped_.empty())
        queue_.FinishQueue();
}

std::optional<TPipelineTrack> TPipelinedQueue::PipedJob(int row, const TOutputFormat& format,
                                                        TMessage& problem)
{
    TReadingPlan& reading = queue_.reading_;
    std::optional<TTrackRun> run = queue_.RunOfRow(row, format, problem);
    if (!run)
        return std::nullopt;
    const int track = run->Track;
    run->Id = ++lastRun_;
    run->ReRead = reading.ReRead(track);
    const TReadingPlan::TPass pass = reading.NextPass(track);
    run->Test = pass.Test;

    TPipelineTrack job;
    job.Id = run->Id;
    job.Track = track;
    job.Place = queue_.verification_.PlaceOf(track);
    job.ReadMode = pass.Mode;
    job.ReadOffset = reading.Options().ReadOffset;
    job.DeEmphasis = run->DeEmphasis;
    job.MeasureGain = queue_.albumGain_.Enabled();
    job.Output = format.MakeOutput();
    if (format.ApplySettings != nullptr)
        format.ApplySettings(*job.Output);
    if (queue_.level_ && format.ApplyCompressionLevel != nullptr)
        format.ApplyCompressionLevel(*job.Output, *queue_.level_);
    if (!Read(key::kAutoCpu))
        job.Output->SetDelay(Read(key::kCpuLevel));
    if (format.ApplyTags != nullptr)
        format.ApplyTags(*job.Output, queue_.TagsOf(track));
    job.Output->SetFileName(LocalPath(run->Temporary).toStdString());
    piped_[run->Id] = TPipedRun{*run, false, std::nullopt};
    return job;
}

void TPipelinedQueue::StopTracks()
{
    // Every track ends as it stands; the last end makes the queue idle.
    if (!piped_.empty())
        pipeline_->Stop();
}

void TPipelinedQueue::DropUnconfirmed()
{
    for (const auto& [track, held] : held_) {
        TOutputFolder::Discard(held.Temporary);
        queue_.rows_.SetStatus(queue_.RowOf(track), TTrackStatus::Cancelled);
    }
    held_.clear();
}

bool TPipelinedQueue::TrackVerified(int track)
{
    if (held_.count(track) == 0)
        return false;
    FastReadJudged(track);
    return true;
}

void TPipelinedQueue::LookupAnswered()
{
    // Reads that start from now on follow the answer.
    queue_.reading_.LookupAnswered(queue_.verification_.DiscKnown());
}

void TPipelinedQueue::ReadProgress(int id)
{
    // The selection stays where the user put it.
    const auto found = piped_.find(id);
    if (found != piped_.end() && !found->second.ReadDone)
        queue_.rows_.SetStatus(queue_.RowOf(found->second.Run.Track), found->second.Run.ReRead
                                                                          ? TTrackStatus::ReReading
                                                                          : TTrackStatus::Reading);
}

void TPipelinedQueue::ReadEnded(int id, const TPipelineRead& read)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    found->second.ReadDone = true;
    found->second.Read = read;
    const int row = queue_.RowOf(found->second.Run.Track);
    if (read.Ok && queue_.rows_.Status(row) == TTrackStatus::Reading)
        queue_.rows_.SetStatus(row, TTrackStatus::Converting);
}

void TPipelinedQueue::EncodeProgress(int id, int percent)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    TTrackListModel& rows = queue_.rows_;
    const int row = queue_.RowOf(found->second.Run.Track);
    rows.SetProgress(row, percent);
    if (found->second.Run.ReRead)
        rows.SetStatus(row, TTrackStatus::ReReading);
    else
        rows.SetStatus(row,
                       found->second.ReadDone ? TTrackStatus::Converting : TTrackStatus::Reading);
}

void TPipelinedQueue::TrackEnded(int id, TPipelineEnd end, const QString& error)
{
    const auto found = piped_.find(id);
    if (found == piped_.end())
        return;
    const TPipedRun ended = found->second;
    piped_.erase(found);
    TTrackListModel& rows = queue_.rows_;
    const int track = ended.Run.Track;
    const int row = queue_.RowOf(track);
    switch (end) {
    case TPipelineEnd::Done: {
        if (queue_.albumGain_.Enabled()) {
            std::string problem;
            std::unique_ptr<ReplayGainMeter> meter = pipeline_->TakeGain(id, problem);
            queue_.albumGain_.Measured(track, std::move(meter), problem);
        }
        const std::optional<verify::TrackChecksums> sums =
            ended.Read ? ended.Read->Checksums : std::nullopt;
        const TReadingPlan::TAfterPass after =
            queue_.reading_.PassDone(track, sums ? sums->crc32 : 0u);
        if (after == TReadingPlan::TAfterPass::NextPass) {
            // The test read leaves its CRC only; the copy is read behind the
            // tracks already queued, so the drive's cache cannot serve it.
            TOutputFolder::Discard(ended.Run.Temporary);
            ReadAgain(track);
            break;
        }
        if (after == TReadingPlan::TAfterPass::AwaitVerdict && queue_.stopped_) {
            // An unconfirmed fast read is no track.
            TOutputFolder::Discard(ended.Run.Temporary);
            rows.SetStatus(row, TTrackStatus::Cancelled);
            break;
        }
        if (after == TReadingPlan::TAfterPass::AwaitVerdict && sums) {
            // Held before the sums go in: the verdict may come at once.
            held_[track] = ended.Run;
            queue_.verification_.TrackRipped(track, *sums, ended.Read->Report,
                                             queue_.reading_.EarlierReads(track));
            break;
        }
        KeepTrack(ended.Run);
        if (sums)
            queue_.verification_.TrackRipped(track, *sums, ended.Read->Report,
                                             queue_.reading_.EarlierReads(track));
        break;
    }
    case TPipelineEnd::Stopped:
        TOutputFolder::Discard(ended.Run.Temporary);
        rows.SetStatus(row, TTrackStatus::Cancelled);
        break;
    case TPipelineEnd::Failed:
        TOutputFolder::Discard(ended.Run.Temporary);
        queue_.MarkFailed(track, error);
        break;
    case TPipelineEnd::Skipped: {
        // Never encoded: the row is still to rip, and leaves no trace in the records.
        TOutputFolder::Discard(ended.Run.Temporary);
        rows.SetProgress(row, 0);
        rows.SetStatus(row, TTrackStatus::NotConverted);
        std::vector<int>& tracks = queue_.queueTracks_;
        tracks.erase(std::remove(tracks.begin(), tracks.end(), track), tracks.end());
        break;
    }
    }
}

void TPipelinedQueue::KeepTrack(const TTrackRun& run)
{
    if (const TMessage problem = queue_.KeepFile(run); !problem.IsEmpty()) {
        queue_.MarkFailed(run.Track, problem);
        return;
    }
    queue_.rows_.SetProgress(queue_.RowOf(run.Track), 100);
    queue_.rows_.SetStatus(queue_.RowOf(run.Track), TTrackStatus::Converted);
}

void TPipelinedQueue::FastReadJudged(int track)
{
    const TTrackRun judged = held_.at(track);
    held_.erase(track);
    // A verdict that came after the pipeline went idle ends the queue's run.
    const auto settle = [this] {
        if (!pipeline_->Busy())
            Idle();
    };
    if (queue_.KeepsFastRead(track)) {
        KeepTrack(judged);
        settle();
        return;
    }
    TOutputFolder::Discard(judged.Temporary);
    // The plan now reads this track securely and records why.
    if (!ReadAgain(track))
        settle();
}

bool TPipelinedQueue::ReadAgain(int track)
{
    const int row = queue_.RowOf(track);
    if (queue_.stopped_ || format_ == nullptr) {
        queue_.rows_.SetStatus(row, TTrackStatus::Cancelled);
        return false;
    }
    queue_.rows_.SetProgress(row, 0);
    if (queue_.reading_.ReRead(track))
        queue_.rows_.SetStatus(row, TTrackStatus::ReReading);
    TMessage problem;
    std::optional<TPipelineTrack> job = PipedJob(row, *format_, problem);
    if (!job) {
        queue_.MarkFailed(track, problem);
        return false;
    }
    pipeline_->Add(std::move(*job));
    return true;
}

void TPipelinedQueue::Idle()
{
    if (!piped_.empty() || !held_.empty())
        return;
    if (queue_.stopped_) {
        queue_.GoIdle();
        return;
    }
    // Rows ticked meanwhile are ripped next; otherwise the queue ends as usual.
    queue_.RipCommand();
}

void TPipelinedQueue::End()
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
