#pragma once

#include <map>
#include <memory>
#include <optional>

#include "app/text/message.h"
#include "queue_strategy.h"
#include "rip_pipeline.h"

namespace sonfeld::app {

// The pipelined queue: the drive reads the ticked tracks one after the other
// while encoders follow on every core (`TRipPipeline`). The file policy is the
// one-track queue's: a track's file is written under a temporary name and
// takes its own name only once the track is read and encoded to the end.
//
// In "快速并校验" the reader starts at once, fast, never waiting for the
// network; each fast read's file is held until its verdict, which comes once
// AccurateRip and the CTDB answered. A read no database confirms is discarded
// and its track is added again, read securely; once neither database knows
// the disc, the reads that start from then on are secure.
//
// With test and copy each track is read first for its CRC alone (the file is
// discarded), then once more behind the tracks already queued, and that read
// is kept; the verification compares the two CRCs.
class TPipelinedQueue final : public TQueueStrategy {
public:
    explicit TPipelinedQueue(TRipQueue& queue);
    ~TPipelinedQueue() override;

    // Hands every ticked row still to rip to the pipeline, in row order.
    void Start(int row, const TOutputFormat& format) override;
    bool Busy() const override { return !piped_.empty() || !held_.empty(); }
    bool TracksRunning() const override { return !piped_.empty(); }
    void StopTracks() override;
    void DropUnconfirmed() override;
    bool TrackVerified(int track) override;

    // Both lookups have answered: the reads still to start follow the answer.
    void LookupAnswered();
    // Stops the pipeline's tracks, waits for their threads and removes their
    // temporary files.
    void End();

private:
    void StartQueue(const TOutputFormat& format);
    // A run of the row's track for the pipeline, entered among the piped runs;
    // nothing, with the reason, when its file cannot be made.
    std::optional<TPipelineTrack> PipedJob(int row, const TOutputFormat& format, TMessage& problem);
    void ReadProgress(int id);
    void ReadEnded(int id, const TPipelineRead& read);
    void EncodeProgress(int id, int percent);
    void TrackEnded(int id, TPipelineEnd end, const QString& error);
    void Idle();
    // A track read and encoded whole takes its final name.
    void KeepTrack(const TTrackRun& run);
    // A held fast read's verdict came: keep it, or read the track again securely.
    void FastReadJudged(int track);
    // Queues the track's next read behind those already queued; false when
    // the queue stopped (the row is cancelled) or the run could not start.
    bool ReadAgain(int track);

    // The runs by their id, with the read each one ended with.
    struct TPipedRun {
        TTrackRun Run;
        bool ReadDone = false;
        std::optional<TPipelineRead> Read;
    };
    std::unique_ptr<TRipPipeline> pipeline_;
    bool pipelineReadsImage_ = false; // its spools wait for the encoders
    std::map<int, TPipedRun> piped_;
    std::map<int, TTrackRun> held_;         // fast reads waiting for their verdict, by track
    const TOutputFormat* format_ = nullptr; // the running queue's
    int lastRun_ = 0;
};

} // namespace sonfeld::app
