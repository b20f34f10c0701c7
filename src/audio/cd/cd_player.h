#pragma once

#include <cstdint>
#include <memory>

#include "audio/core/component.h"
#include "cd_audio_device.h"
#include "cd_types.h"

namespace sonfeld {

enum TCDPlayerStatus { psNotReady = 0, psReady = 1, psPlaying = 2, psPaused = 3 };

// Plays audio tracks of a disc through the drive's own audio playback. It does
// not use the pipeline. Every public operation opens the device on entry and
// releases it on exit (the open count nests); playback goes on in the drive
// while the device is closed. Failures raise EACSException, the device closed
// first. UI thread only.
class TCDPlayer : public TComponent {
public:
    // device: the playback calls to make; libcdio's when none is given.
    explicit TCDPlayer(TComponent* owner = nullptr, std::unique_ptr<TCDAudioDevice> device = {});
    ~TCDPlayer() override;

    int Drive() const { return drive_; }
    void SetDrive(int value) { drive_ = value; }

    TCDPlayerStatus Status();
    // 0 when not ready.
    int TrackCount();
    // All zero when the drive is not ready; "Track out of range." outside 1..TrackCount.
    TCDTrackInfo TrackInfo(int track);
    // Plays one whole track; the last one up to the end of the disc.
    void Play(int track);
    // Pauses only while playing.
    void Pause();
    void Stop();

    // The drive's volume per channel, 0..65535; 0 and no effect without a volume control.
    std::uint16_t LVolume();
    void SetLVolume(std::uint16_t value);
    std::uint16_t RVolume();
    void SetRVolume(std::uint16_t value);

protected:
    void OpenDevice();
    void CloseDevice();
    void ForceCloseDevice();
    TMSF TrackStart(int track);
    int OpenCount() const { return openCount_; }

private:
    void SetChannel(int shift, std::uint16_t value);

    std::unique_ptr<TCDAudioDevice> device_;
    int openCount_ = 0;
    int drive_ = 0;
};

} // namespace sonfeld
