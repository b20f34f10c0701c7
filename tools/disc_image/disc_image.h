#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "signal_generator.h"

namespace sonfeld::disc_image {

constexpr int kMaxTracks = 99;
constexpr std::int64_t kMinTrackSectors = 4 * 75; // the shortest track a CD allows

// One track of the disc to make.
struct TrackSpec {
    bool data = false;             // a MODE1/2352 data track (only first or last on the disc)
    SignalSpec signal;             // the audio of an audio track, unless wavFile is given
    std::filesystem::path wavFile; // audio from this 44100 Hz 16-bit stereo WAV file
    // Sectors from INDEX 01 to the next track's pregap. 0 with a WAV file: its
    // length, rounded up to a whole sector with silence.
    std::int64_t sectors = 0;
    std::int64_t pregapSectors = 0; // INDEX 00 .. INDEX 01, stored in the image as silence
    std::string title;
    std::string performer;
};

struct DiscSpec {
    std::string title;
    std::string performer;
    std::vector<TrackSpec> tracks;
};

// Where a track landed, in logical sectors (0 = first sector of the image).
struct TrackLayout {
    int number = 0;
    bool data = false;
    std::int64_t pregapStart = 0; // INDEX 00 (equal to start without a pregap)
    std::int64_t start = 0;       // INDEX 01: the track's start in the table of contents
    std::int64_t sectors = 0;     // from start, up to the next track's pregap
};

struct DiscLayout {
    std::vector<TrackLayout> tracks;
    std::int64_t leadOut = 0; // sectors in the image
};

// Checks the spec and works out where every track goes; raises
// std::runtime_error with the reason for an impossible disc (no tracks, more
// than 99, a track under 4 seconds, a data track in the middle, text the CUE
// sheet cannot hold, more than 99 minutes).
DiscLayout PlanDisc(const DiscSpec& spec);

// Writes cuePath and the BIN file beside it (same name, extension .bin).
// Raises std::runtime_error naming the file when anything cannot be read or
// written; a failed write is never left looking like a finished image.
DiscLayout WriteCueBin(const DiscSpec& spec, const std::filesystem::path& cuePath);

// A disc of the given length cut into equal tracks, tones and noise in turn:
// cheap to make, and noise is the hardest for anything that looks at the audio.
// The benchmarks rip it.
DiscSpec AlternatingToneAndNoiseDisc(int minutes, int tracks);

// "MM:SS:FF" of a sector count, as a CUE sheet writes positions.
std::string CueTime(std::int64_t sectors);

} // namespace sonfeld::disc_image
