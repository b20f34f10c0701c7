#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "audio/cd/cd_types.h"
#include "audio/cd/verify/track_checksums.h"
#include "audio/core/pcm_spool.h"

namespace sonfeld {
class TACSFileOut;
class TCDIn;
class TInputPump;
class ReplayGainMeter;
class TSpoolIn;
} // namespace sonfeld

namespace sonfeld::verify {
class TChecksumTap;
} // namespace sonfeld::verify

namespace sonfeld::app {

// One track for the pipeline: where it is on the disc, how to read it, and
// the output (set up by the caller: settings, tags, file name) that encodes it.
struct TPipelineTrack {
    int Id = 0; // the caller's own name for this run of the track
    int Track = 0;
    verify::TrackPlace Place;
    TCDReadMode ReadMode = rmSecure;
    int ReadOffset = 0;
    bool DeEmphasis = false; // the output encodes the audio de-emphasised
    // The encoder measures the track's loudness on its way: on its own
    // thread, so the encoders share the work and the reader never waits for it.
    bool MeasureGain = false;
    std::unique_ptr<TACSFileOut> Output;
};

// How a track's read ended: its checksums and the drive's report on success.
struct TPipelineRead {
    bool Ok = false;
    QString Error; // empty when the read was stopped
    std::optional<verify::TrackChecksums> Checksums;
    TCDRipReport Report;
};

enum class TPipelineEnd {
    Done,    // read and encoded to the end
    Stopped, // stopped before it ended
    Failed,  // the read or the encoder failed; the error says which
    Skipped  // never encoded: stopped, or a read failed, before its turn
};

// Rips at the pace of its slowest part: the drive reads the tracks one after
// the other without waiting for any encoder, each into a spool (memory up to a
// limit shared by all, then a file beside the track's output file), while up
// to `encoders` outputs encode the spools in the order the tracks were added.
// Checksums come from the read stream, so they are those of the disc.
//
// A read that fails ends reading: that track fails, the tracks already read
// are still encoded, the ones after it are skipped.
//
// Threads: everything here on the UI thread; the pump's and the outputs'
// events are posted to it and handled in the order raised.
class TRipPipeline final : public QObject {
    Q_OBJECT
public:
    // overflow: what a spool does once the memory is taken (spill for a
    // drive, wait for the encoders for an image; an image's track still
    // spills once an encoder is free, or about to be, so the reader gets to
    // the next track in time).
    TRipPipeline(TCDIn& input, verify::TChecksumTap& tap, int encoders, std::size_t memoryBytes,
                 SpoolOverflow overflow = SpoolOverflow::SpillToFile, QObject* parent = nullptr);
    // The most the spools held in memory at once.
    std::size_t PeakSpoolMemory() const { return budget_.Peak(); }
    ~TRipPipeline() override;

    // Queues a track; reading starts at once when the drive is free. While a
    // stop or a failed read winds up the tracks added before, it is skipped.
    void Add(TPipelineTrack track);
    // Stops reading and every encoder; every track not ended ends Stopped or Skipped.
    void Stop();
    // Tracks added and not yet ended.
    bool Busy() const { return !jobs_.empty(); }
    int EncoderCount() const { return encoders_; }
    // Only while TrackEnded(id, Done) is handled: the loudness the track's
    // encoder measured, null when it was not asked for or did not take the
    // whole track (problem then says why, if anything went wrong).
    std::unique_ptr<ReplayGainMeter> TakeGain(int id, std::string& problem);
    // Decides each track's reading mode when its read starts rather than when
    // it was added: a database answer that came meanwhile still counts.
    void SetReadModeAtStart(std::function<TCDReadMode(int track)> choose)
    {
        readModeAtStart_ = std::move(choose);
    }

signals:
    void ReadProgress(int id, int percent);
    void ReadEnded(int id, const sonfeld::app::TPipelineRead& read);
    void EncodeProgress(int id, int percent);
    // The output has ended and closed its file; error is set for Failed.
    void TrackEnded(int id, sonfeld::app::TPipelineEnd end, const QString& error);
    // Nothing added is left.
    void Idle();

private:
    struct TJob;

    void StartNextRead();
    void StartEncoders();
    void StartWaitingEncoders();
    void LetTheReaderMoveOn();
    void OnReadFinished(int id, bool ok, const QString& error);
    void OnEncodeEnded(int id, bool ok, const QString& error);
    void EndJob(int id, TPipelineEnd end, const QString& error);
    void Bind(TJob& job);

    TCDIn& input_;
    verify::TChecksumTap& tap_;
    const int encoders_;
    SpoolBudget budget_;
    std::map<int, std::unique_ptr<TJob>> jobs_;
    std::deque<int> toRead_;   // ids in the order added
    std::deque<int> toEncode_; // read started, encoder not yet
    int reading_ = 0;          // id, 0 when the drive is free
    int encoding_ = 0;         // encoders running
    bool stopped_ = false;
    bool readFailed_ = false;
    std::function<TCDReadMode(int track)> readModeAtStart_;
};

} // namespace sonfeld::app
