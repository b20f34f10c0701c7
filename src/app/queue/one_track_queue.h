#pragma once

#include <QTimer>
#include <atomic>
#include <optional>

#include "app/text/message.h"
#include "queue_strategy.h"

namespace sonfeld {
class TACSOutput;
} // namespace sonfeld

namespace sonfeld::app {

// The one-track-at-a-time queue: one track is read and encoded at a time
// through the format's output on the window, then, after a second's pause
// (none for the command line), the queue takes the next row. Test and copy
// reads a track twice, a fast read is kept aside until its verdict and read
// again securely when the database does not confirm it.
//
// Threads: the outputs raise their events on their workers; the handlers bound
// by the constructor only post the event (with the progress it reported) to
// the UI thread, where it is carried out in the order raised.
class TOneTrackQueue final : public TQueueStrategy {
public:
    explicit TOneTrackQueue(TRipQueue& queue);
    ~TOneTrackQueue() override;

    void Start(int row, const TOutputFormat& format) override;
    bool Busy() const override { return run_.has_value() || awaiting_.has_value(); }
    bool TracksRunning() const override { return run_.has_value(); }
    void StopTracks() override;
    void DropUnconfirmed() override;
    bool TrackVerified(int track) override;

    // Starts the next read of a track read twice or read again, when one is
    // due; whether it was.
    bool StartNextPass();
    QTimer& Timer() { return timer_; }
    TACSOutput* CurrentOutput() const { return output_; }
    QString CurrentTarget() const { return run_ ? run_->Target : QString(); }

private:
    void StartTrackRip(int track, const TOutputFormat& format);
    void TimerDone();
    // The next track after the pause.
    void GoOn();
    // Hands an output's events, raised on its worker, to the UI thread, each
    // with the run that raised it.
    void Bind(TACSOutput& output);
    // Each acts on the row of its run; events of a run that is over are dropped.
    void OutputProgress(int run, int progress);
    void OutputDone(int run);
    void OutputThreadException(int run, const QString& message);
    // The file of a finished read becomes the track's, and the queue moves on.
    void KeepTrack(const TTrackRun& run);
    // A fast read's verdict came: keep it, or read the track again securely.
    void FastReadJudged(int track);
    // The track failed, the queue goes on with the next.
    void FailTrack(int track, const TMessage& reason);
    // The run is over: the queue goes idle when Stop was pressed.
    void EndRun();

    QTimer timer_;
    TACSOutput* output_ = nullptr;
    std::optional<TTrackRun> run_;
    std::optional<TTrackRun> awaiting_; // a fast read kept aside until its verdict comes
    std::optional<int> nextPass_;       // the track whose next read starts on the timer
    // The run whose events the outputs raise now; read on their workers.
    std::atomic<int> activeRun_{0};
    int lastRun_ = 0;
};

} // namespace sonfeld::app
