#pragma once

#include <QObject>
#include <QString>

namespace sonfeld::app {

class TRipQueue;
struct TOutputFormat;

// One run of a track, keyed by its track: the rows may be sorted while it runs.
// Its file is written under the temporary name and takes the target's only
// once the track ended "完成转换".
struct TTrackRun {
    int Id = 0; // the strategy's own name for this run
    int Track = 0;
    bool Test = false;   // the pass of test and copy that only checksums
    bool ReRead = false; // the secure read after a fast one that was not confirmed
    // The encoder gets the track's audio de-emphasised.
    bool DeEmphasis = false;
    QString Temporary;
    QString Target;
};

// A way of reading and encoding the rows a rip queue takes. The queue
// (`TRipQueue`) keeps what every way shares: the validation, the folder, the
// files' names, tags and cover, the failures, the verification, the records
// and the summary; a strategy keeps only its runs. A new way of reading goes
// beside the two there are: a class derived from this one, owned by the queue
// and chosen in `TRipQueue::StrategyFor`. UI thread.
class TQueueStrategy : public QObject {
public:
    explicit TQueueStrategy(TRipQueue& queue) : queue_(queue) {}

    // Takes the queue on from the row, the first one still to rip.
    virtual void Start(int row, const TOutputFormat& format) = 0;
    // Whether a run has started and not yet reported its end, or a read's
    // verdict is waited for: the rip command waits.
    virtual bool Busy() const = 0;
    // Whether a track is being read or encoded now.
    virtual bool TracksRunning() const = 0;
    // Stop was pressed: nothing further starts and the running tracks end as
    // they stand (the window was told it is stopping first).
    virtual void StopTracks() = 0;
    // Reads kept aside for their verdict are discarded, their rows
    // "用户取消"; nothing waits any more.
    virtual void DropUnconfirmed() = 0;
    // A track's AccurateRip verdict came; whether it was one this strategy
    // waited for.
    virtual bool TrackVerified(int track) = 0;

protected:
    TRipQueue& queue_;
};

} // namespace sonfeld::app
