#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "cd_types.h"

namespace sonfeld {

// What a drive's own audio playback reports as its mode.
enum class TCDAudioMode { NotReady, Playing, Paused, Stopped };

// The playback calls the CD player makes, one per command of a media control
// interface. Positions are absolute MSF on the disc (track 1 usually at
// 00:02:00). Queries answer nullopt when the command fails.
// Used from the UI thread only.
class TCDAudioDevice {
public:
    virtual ~TCDAudioDevice() = default;

    // Opens drive (an index of the CD library's drive list) for playback;
    // false when it has no audio playback (a disc image) or cannot be opened.
    virtual bool Open(int drive) = 0;
    virtual void Close() = 0;

    virtual std::optional<bool> MediaPresent() = 0;
    virtual std::optional<TCDAudioMode> Mode() = 0;
    virtual std::optional<int> NumberOfTracks() = 0;
    // Where track (1-based) starts.
    virtual std::optional<TMSF> TrackPosition(int track) = 0;
    // The end of the disc: the lead-out's position.
    virtual std::optional<TMSF> DiscLength() = 0;
    virtual std::optional<bool> TrackIsAudio(int track) = 0;

    // Starts playback from .. to and returns at once; false when refused.
    virtual bool Play(const TMSF& from, const TMSF& to) = 0;
    virtual bool Pause() = 0;
    virtual bool Stop() = 0;

    // The volume control of drive: nullopt when there is none. Left in the
    // low 16 bits, right in the high 16 bits, each 0..65535.
    virtual std::optional<std::uint32_t> Volume(int drive) = 0;
    virtual void SetVolume(int drive, std::uint32_t volume) = 0;
};

// Playback through libcdio's audio control of a physical drive.
std::unique_ptr<TCDAudioDevice> MakeCdioAudioDevice();

} // namespace sonfeld
