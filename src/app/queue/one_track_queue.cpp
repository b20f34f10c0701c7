#include "one_track_queue.h"

#include <algorithm>
#include <exception>

#include "app/files/local_path.h"
#include "app/settings/setting_keys.h"
#include "app/text/texts.h"
#include "app/tracks/track_list_model.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/verify/checksum_tap.h"
#include "audio/core/de_emphasis.h"
#include "audio/core/output.h"
#include "audio/formats/tags/replay_gain_tap.h"
#include "rip_components.h"
#include "rip_queue.h"

namespace sonfeld::app {

TOneTrackQueue::TOneTrackQueue(TRipQueue& queue) : TQueueStrategy(queue)
{
    timer_.setInterval(1000);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TOneTrackQueue::TimerDone);
    for (TACSOutput* output : queue_.components_.Outputs())
        Bind(*output);
}

TOneTrackQueue::~TOneTrackQueue()
{
    // The components, which go first, wound up a running track's file.
    if (run_)
        TOutputFolder::Discard(run_->Temporary);
    if (awaiting_)
        TOutputFolder::Discard(awaiting_->Temporary);
}

void TOneTrackQueue::Bind(TACSOutput& output)
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

void TOneTrackQueue::Start(int row, const TOutputFormat& format)
{
    StartTrackRip(queue_.rows_.TrackNumberOfRow(row), format);
}

bool TOneTrackQueue::StartNextPass()
{
    if (!nextPass_)
        return false;
    const int track = *nextPass_;
    nextPass_.reset();
    if (const TOutputFormat* format = FindFormat(queue_.inputs_.FormatText()))
        StartTrackRip(track, *format);
    return true;
}

void TOneTrackQueue::StopTracks()
{
    timer_.stop();
    // The run ends at its next block; until then nothing new may start on
    // the output it still holds.
    if (run_ && output_ != nullptr)
        output_->Stop();
}

void TOneTrackQueue::DropUnconfirmed()
{
    nextPass_.reset();
    if (awaiting_) {
        TOutputFolder::Discard(awaiting_->Temporary);
        queue_.rows_.SetStatus(queue_.RowOf(awaiting_->Track), TTrackStatus::Cancelled);
        awaiting_.reset();
    }
}

bool TOneTrackQueue::TrackVerified(int track)
{
    if (!awaiting_ || awaiting_->Track != track)
        return false;
    FastReadJudged(track);
    return true;
}

void TOneTrackQueue::StartTrackRip(int track, const TOutputFormat& format)
{
    TTrackListModel& rows = queue_.rows_;
    TRipComponents& components = queue_.components_;
    TReadingPlan& reading = queue_.reading_;
    std::vector<int>& tracks = queue_.queueTracks_;
    const int row = rows.RowOfTrack(track);
    if (std::find(tracks.begin(), tracks.end(), track) == tracks.end()) {
        tracks.push_back(track);
        rows.SetVerdict(row, QString());
    }
    components.GainTap->SetEnabled(queue_.albumGain_.Enabled());
    TACSFileOut* available = components.Output(format);
    if (available == nullptr) {
        FailTrack(track, components.Unavailable(format));
        return;
    }
    TACSFileOut& output = *available;
    queue_.CurrentTrack_ = track;
    components.ReadCDIn->SetStartTrack(track);
    components.ReadCDIn->SetEndTrack(components.ReadCDIn->StartTrack());
    components.Tap->SetTrack(queue_.verification_.PlaceOf(track));
    if (queue_.verification_.Lookup() && queue_.verification_.CtdbLookupAnswer())
        reading.LookupAnswered(queue_.verification_.DiscKnown());
    const TReadingPlan::TPass pass = reading.NextPass(track);
    components.ReadCDIn->SetReadMode(pass.Mode);
    components.ReadCDIn->SetReadOffset(reading.Options().ReadOffset);
    if (!Read(key::kAutoCpu))
        output.SetDelay(Read(key::kCpuLevel));
    if (queue_.level_ && format.ApplyCompressionLevel != nullptr)
        format.ApplyCompressionLevel(output, *queue_.level_);
    TMessage problem;
    std::optional<TTrackRun> run = queue_.RunOfRow(row, format, problem);
    if (!run) {
        FailTrack(track, problem);
        return;
    }
    run->Id = ++lastRun_;
    run->Test = pass.Test;
    run->ReRead = reading.ReRead(track);
    output.SetFileName(LocalPath(run->Temporary).toStdString());
    if (format.ApplyTags != nullptr)
        format.ApplyTags(output, queue_.TagsOf(track));
    components.DeEmphasis->SetEnabled(run->DeEmphasis);
    output_ = &output;
    queue_.stopped_ = false;
    activeRun_.store(run->Id);
    run_ = run;
    output.Run();
}

void TOneTrackQueue::TimerDone()
{
    timer_.stop();
    // The timer runs from the event loop: nothing may escape into it.
    try {
        queue_.RipCommand();
    } catch (const std::exception& e) {
        queue_.window_.ShowError(QString::fromUtf8(e.what()));
    }
}

void TOneTrackQueue::GoOn()
{
    timer_.start(queue_.inputs_.PauseBetweenTracks() ? 1000 : 0);
}

void TOneTrackQueue::OutputProgress(int run, int progress)
{
    if (!run_ || run_->Id != run)
        return;
    TTrackListModel& rows = queue_.rows_;
    const int row = queue_.RowOf(run_->Track);
    rows.SetProgress(row, progress);
    const TTrackStatus status = run_->ReRead ? TTrackStatus::ReReading : TTrackStatus::Converting;
    if (rows.Status(row) != status)
        rows.SetStatus(row, status);
}

void TOneTrackQueue::OutputDone(int run)
{
    if (!run_ || run_->Id != run)
        return;
    TTrackListModel& rows = queue_.rows_;
    const TTrackRun ended = *run_;
    const int row = queue_.RowOf(ended.Track);
    if (rows.Progress(row) != 100) {
        TOutputFolder::Discard(ended.Temporary);
        rows.SetStatus(row, TTrackStatus::Cancelled);
        // Ended early without Stop: the others still go on.
        if (!queue_.stopped_) {
            queue_.failures_[ended.Track] = text::kEndedEarly;
            GoOn();
        }
        EndRun();
        return;
    }
    const std::optional<verify::TrackChecksums> sums = queue_.components_.Tap->Checksums();
    queue_.albumGain_.Measured(ended.Track, queue_.components_.GainTap->TakeMeter(),
                               queue_.components_.GainTap->Problem());
    const TReadingPlan::TAfterPass after =
        queue_.reading_.PassDone(ended.Track, sums ? sums->crc32 : 0u);
    if (after == TReadingPlan::TAfterPass::NextPass) {
        // The test read leaves its CRC only.
        TOutputFolder::Discard(ended.Temporary);
        if (queue_.stopped_) {
            rows.SetStatus(row, TTrackStatus::Cancelled);
        } else {
            nextPass_ = ended.Track;
            GoOn();
        }
        EndRun();
        return;
    }
    run_.reset();
    if (after == TReadingPlan::TAfterPass::AwaitVerdict && queue_.stopped_) {
        // An unconfirmed fast read is no track.
        TOutputFolder::Discard(ended.Temporary);
        rows.SetStatus(row, TTrackStatus::Cancelled);
        EndRun();
        return;
    }
    TCDIn& input = *queue_.components_.ReadCDIn;
    if (after == TReadingPlan::TAfterPass::AwaitVerdict && sums) {
        // Set aside before the sums go in: the verdict may come at once.
        awaiting_ = ended;
        queue_.verification_.TrackRipped(ended.Track, *sums, input.RipReport(),
                                         queue_.reading_.EarlierReads(ended.Track));
        return;
    }
    if (sums)
        queue_.verification_.TrackRipped(ended.Track, *sums, input.RipReport(),
                                         queue_.reading_.EarlierReads(ended.Track));
    KeepTrack(ended);
}

void TOneTrackQueue::KeepTrack(const TTrackRun& ended)
{
    if (const TMessage problem = queue_.KeepFile(ended); !problem.IsEmpty()) {
        FailTrack(ended.Track, problem);
        return;
    }
    queue_.rows_.SetStatus(queue_.RowOf(ended.Track), TTrackStatus::Converted);
    // A Stop that came while the last block was written still ends the queue.
    if (!queue_.stopped_)
        GoOn();
    EndRun();
}

void TOneTrackQueue::FastReadJudged(int track)
{
    const TTrackRun judged = *awaiting_;
    awaiting_.reset();
    if (queue_.KeepsFastRead(track)) {
        KeepTrack(judged);
        return;
    }
    TOutputFolder::Discard(judged.Temporary);
    queue_.rows_.SetStatus(queue_.RowOf(judged.Track), TTrackStatus::ReReading);
    nextPass_ = track;
    GoOn();
}

void TOneTrackQueue::OutputThreadException(int run, const QString& message)
{
    if (!run_ || run_->Id != run)
        return;
    TOutputFolder::Discard(run_->Temporary);
    const int track = run_->Track;
    run_.reset();
    FailTrack(track, message);
}

void TOneTrackQueue::FailTrack(int track, const TMessage& reason)
{
    queue_.MarkFailed(track, reason);
    // The next ticked row follows as after a finished track.
    if (!queue_.stopped_)
        GoOn();
    EndRun();
}

void TOneTrackQueue::EndRun()
{
    run_.reset();
    if (queue_.stopped_)
        queue_.GoIdle();
}

} // namespace sonfeld::app
