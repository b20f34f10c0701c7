#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld {

// CD audio: 75 frames (sectors) to the second, 2352 bytes of 16-bit stereo
// PCM at 44100 Hz in each.
constexpr int kFramesPerSecond = 75;
constexpr int kBytesPerFrame = 2352;

// Length and type of one track, 4 bytes in this order; read as one 32-bit
// value, low byte first.
struct TCDTrackInfo {
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;   // 0..59
    std::uint8_t Frames = 0;    // 0..74
    std::uint8_t TrackType = 0; // 0 audio, 1 data
};
static_assert(sizeof(TCDTrackInfo) == 4);

// A position: an offset of Minute:Second:Frame into track Track (1-based).
struct TCDPosition {
    std::int32_t Track = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    std::uint8_t Frame = 0;
};

// An MSF triple.
struct TMSF {
    std::uint8_t Minute = 0;
    std::uint8_t Second = 0;
    std::uint8_t Frame = 0;
    bool operator==(const TMSF&) const = default;
};

constexpr std::int64_t MSFToFrames(int minute, int second, int frame)
{
    return (static_cast<std::int64_t>(minute) * 60 + second) * kFramesPerSecond + frame;
}

constexpr std::int64_t MSFToFrames(const TMSF& msf)
{
    return MSFToFrames(msf.Minute, msf.Second, msf.Frame);
}

// How a rip reads: secure reads every sector twice past the drive's cache and
// re-reads what differs, fast reads once and leaves checking the result to
// the caller, old drive takes paranoia's overlap matching and checks it
// against plain reads (for drives that drift). The values are the library's.
enum TCDReadMode { rmSecure = 0, rmFast = 1, rmOldDrive = 2 };

// The largest read offset the CD input accepts, in samples either way.
constexpr int kMaxReadOffset = 2940;

// A sector the drive had trouble with during a run.
struct TCDSectorProblem {
    // Suspicious: no two reads agreed; the rip went on with the first read.
    enum Kind { Corrected = 1, ReadError = 2, Uncorrected = 3, Suspicious = 4 };
    std::int32_t Sector = 0; // LSN as read, the read offset included
    Kind Problem = Corrected;
    std::int32_t Count = 0; // reports for this sector and kind
    bool operator==(const TCDSectorProblem&) const = default;
};

// How the last run of a CD input read, and what went wrong.
struct TCDRipReport {
    TCDReadMode Mode = rmSecure;
    int ReadOffset = 0;
    int Corrected = 0;
    int Uncorrected = 0;
    int ReadErrors = 0;
    // Every sector was read twice alike (or came from a CUE image's files).
    bool Proven = false;
    int Suspicious = 0;                     // sectors of kind Suspicious
    std::vector<TCDSectorProblem> Problems; // in sector order
};

// Frames to minutes, seconds, frames (integer division). Minutes above 255
// cannot occur on a CD; they are cut to the byte.
constexpr TMSF FramesToMSF(std::int64_t frames)
{
    const std::int64_t seconds = frames / kFramesPerSecond;
    return {static_cast<std::uint8_t>(seconds / 60), static_cast<std::uint8_t>(seconds % 60),
            static_cast<std::uint8_t>(frames % kFramesPerSecond)};
}

// The time text the track list shows for track number track: "[3] - 4:05".
// Minutes are not padded, seconds are; frames are dropped, not rounded.
std::string TrackTimeText(int track, const TCDTrackInfo& info);

} // namespace sonfeld
