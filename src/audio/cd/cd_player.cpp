#include "cd_player.h"

#include "audio/core/acs_exception.h"

namespace sonfeld {

TCDPlayer::TCDPlayer(TComponent* owner, std::unique_ptr<TCDAudioDevice> device)
    : TComponent(owner), device_(device ? std::move(device) : MakeCdioAudioDevice())
{
}

TCDPlayer::~TCDPlayer()
{
    while (openCount_ > 0)
        CloseDevice();
}

void TCDPlayer::OpenDevice()
{
    if (openCount_ == 0 && !device_->Open(drive_))
        throw EACSException("Cannot open audiocd device");
    ++openCount_;
}

void TCDPlayer::CloseDevice()
{
    // A device closed by force inside a nested operation stays closed: the
    // count never goes below zero, or later opens would never reach the device.
    if (openCount_ <= 0)
        return;
    if (openCount_ == 1)
        device_->Close();
    --openCount_;
}

void TCDPlayer::ForceCloseDevice()
{
    device_->Close();
    openCount_ = 0;
}

TCDPlayerStatus TCDPlayer::Status()
{
    OpenDevice();
    TCDPlayerStatus status = psReady;
    const std::optional<bool> present = device_->MediaPresent();
    if (present.has_value() && !*present) {
        status = psNotReady;
    } else if (present.has_value()) {
        if (const std::optional<TCDAudioMode> mode = device_->Mode()) {
            switch (*mode) {
            case TCDAudioMode::NotReady: status = psNotReady; break;
            case TCDAudioMode::Playing: status = psPlaying; break;
            case TCDAudioMode::Paused: status = psPaused; break;
            case TCDAudioMode::Stopped: status = psReady; break;
            }
        }
    }
    CloseDevice();
    return status;
}

int TCDPlayer::TrackCount()
{
    OpenDevice();
    if (Status() == psNotReady) {
        ForceCloseDevice();
        return 0;
    }
    const int count = device_->NumberOfTracks().value_or(0);
    CloseDevice();
    return count;
}

TMSF TCDPlayer::TrackStart(int track)
{
    OpenDevice();
    const std::optional<TMSF> position =
        track > TrackCount() ? device_->DiscLength() : device_->TrackPosition(track);
    // A position the drive would not tell (the disc went) must not be played from.
    if (!position) {
        ForceCloseDevice();
        throw EACSException("Device is not ready");
    }
    CloseDevice();
    return *position;
}

TCDTrackInfo TCDPlayer::TrackInfo(int track)
{
    OpenDevice();
    if (Status() == psNotReady) {
        CloseDevice();
        return {};
    }
    if (track < 1 || track > TrackCount() || track > 255) {
        ForceCloseDevice();
        throw EBadSettings("Track out of range.");
    }
    const TMSF start = TrackStart(track);
    const TMSF next = TrackStart(track + 1);
    const TMSF length = FramesToMSF(MSFToFrames(next) - MSFToFrames(start));
    const bool audio = device_->TrackIsAudio(track).value_or(false);
    CloseDevice();
    return {length.Minute, length.Second, length.Frame, static_cast<std::uint8_t>(audio ? 0 : 1)};
}

void TCDPlayer::Play(int track)
{
    OpenDevice();
    if (Status() == psNotReady) {
        ForceCloseDevice();
        throw EACSException("Device is not ready");
    }
    if (TrackInfo(track).TrackType != 0) {
        ForceCloseDevice();
        throw EBadSettings("Trying to play a data track.");
    }
    const TMSF from = TrackStart(track);
    const TMSF to = TrackStart(track + 1);
    if (!device_->Play(from, to)) {
        ForceCloseDevice();
        throw EACSException("Device is not ready");
    }
    CloseDevice();
}

void TCDPlayer::Pause()
{
    OpenDevice();
    if (Status() == psPlaying)
        device_->Pause();
    CloseDevice();
}

void TCDPlayer::Stop()
{
    OpenDevice();
    // A drive that is not playing may refuse to stop; there is nothing to undo.
    device_->Stop();
    CloseDevice();
}

std::uint16_t TCDPlayer::LVolume()
{
    return static_cast<std::uint16_t>(device_->Volume(drive_).value_or(0) & 0xFFFF);
}

std::uint16_t TCDPlayer::RVolume()
{
    return static_cast<std::uint16_t>(device_->Volume(drive_).value_or(0) >> 16);
}

void TCDPlayer::SetLVolume(std::uint16_t value)
{
    SetChannel(0, value);
}

void TCDPlayer::SetRVolume(std::uint16_t value)
{
    SetChannel(16, value);
}

void TCDPlayer::SetChannel(int shift, std::uint16_t value)
{
    const std::optional<std::uint32_t> volume = device_->Volume(drive_);
    if (!volume)
        return;
    const std::uint32_t mask = 0xFFFFu << shift;
    device_->SetVolume(drive_, (*volume & ~mask) | (static_cast<std::uint32_t>(value) << shift));
}

} // namespace sonfeld
