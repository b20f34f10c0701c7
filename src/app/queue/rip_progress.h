#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "app/text/message.h"

// Where a queue stands over the tracks it set out to rip: audio done, speed
// in multiples of real time, time left and tracks done. Widget-free; times
// are the caller's monotonic clock in milliseconds. UI thread.
namespace sonfeld::app {

class TRipProgress {
public:
    // A new queue over tracks of these lengths (frames, 75 a second), in the
    // order they will be ripped; startMs is when it began.
    void Start(const std::vector<int>& lengthsFrames, qint64 startMs);
    void Clear();
    bool Active() const { return active_; }

    // The percentage a track (index into Start's list) has reached.
    void SetTrackProgress(int index, int percent);
    // The track is done: all of its audio counts, and so does the track.
    void SetTrackDone(int index);

    double AudioSecondsDone() const;
    double AudioSecondsTotal() const;
    // Of the whole queue's audio, 0 to 100.
    int Percent() const;
    // Audio seconds done per wall-clock second; none before any audio is done.
    std::optional<double> Speed(qint64 nowMs) const;
    // Wall-clock seconds until the rest is done at the speed so far.
    std::optional<int> SecondsLeft(qint64 nowMs) const;
    int TracksDone() const;
    int TracksTicked() const { return static_cast<int>(tracks_.size()); }

private:
    struct Track {
        int LengthFrames = 0;
        int Percent = 0;
        bool Done = false;
    };
    bool Valid(int index) const { return index >= 0 && index < TracksTicked(); }

    std::vector<Track> tracks_;
    qint64 startMs_ = 0;
    bool active_ = false;
};

// "1:05" or "1:02:03".
QString DurationText(int seconds);
// The status bar's line while ripping: speed, time left, tracks done of ticked.
TMessage RipProgressText(const TRipProgress& progress, qint64 nowMs);

} // namespace sonfeld::app
