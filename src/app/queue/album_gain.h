#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/formats/tags/replay_gain.h"
#include "audio/formats/tags/track_tags.h"

namespace sonfeld::app {

// Whether ReplayGain is measured and written: the "ReplayGain" setting,
// unless this run says otherwise (the command line's --replaygain).
bool ReplayGainWanted();
void SetReplayGainForThisRun(std::optional<bool> wanted);

// What the album pass of a queue is to do: the album values and the files
// they go into, or nothing, with the log's lines either way.
struct TAlbumGainPlan {
    std::vector<std::string> Files; // empty: no album values are written
    ReplayGainValues Album;
    int Id3Version = 4;
    QStringList Notes; // for the log: the values, or why none were written
};

// A queue's ReplayGain: each track's measurement, taken when its read ended
// whole, goes into the track's own tags; the album values need every audio
// track of the disc measured and kept in this queue, and are written into the
// finished files once the queue is done. UI thread.
class TAlbumGain {
public:
    // A new queue of the disc whose audio tracks are these; off: nothing is
    // measured or written.
    void Begin(bool enabled, std::vector<int> discTracks);
    bool Enabled() const { return enabled_; }

    // A read of the track ended whole, with its meter (null: not measured,
    // problem says why). A later read of the track replaces it.
    void Measured(int track, std::unique_ptr<ReplayGainMeter> meter,
                  const std::string& problem = {});
    // The track gain and peak for the track's finished file, when measured.
    void AddTrackValues(int track, TrackTags& tags) const;
    // The track's file is final under this name.
    void Kept(int track, const std::string& file);

    // The queue is done: the album pass to run (files empty when the album
    // values cannot be written) and what the log says about it.
    TAlbumGainPlan Finish(int id3Version) const;

private:
    bool enabled_ = false;
    std::vector<int> discTracks_;
    std::map<int, std::unique_ptr<ReplayGainMeter>> meters_;
    std::map<int, std::string> problems_;
    std::map<int, std::string> files_;
};

// Writes the plan's album values into its files (see WriteAlbumGain); the
// log's lines for what failed, none when all went well. beforeFile as there.
QStringList RunAlbumPass(const TAlbumGainPlan& plan,
                         const std::function<void(std::size_t)>& beforeFile = {});

} // namespace sonfeld::app
