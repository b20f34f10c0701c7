#include <cstring>
#include <string>

// cdio.h first: audio.h relies on its types.
#include <cdio/cdio.h>
// clang-format off
#include <cdio/audio.h>
#include <cdio/mmc.h>
// clang-format on
#include <cdio/util.h>

#include "cd_audio_device.h"
#include "cdrip_binding.h"

namespace sonfeld {

namespace {

// The device path of a physical drive of the CD library's list; empty for a
// disc image or an index that names no drive.
std::string PhysicalDevice(int drive)
{
    if (!cdrip::EnsureLoaded() || cdrip::Api().GetDriveInfo == nullptr)
        return {};
    CR_DriveParameters parameters{};
    if (cdrip::Api().GetDriveInfo(drive, &parameters) != CR_OK ||
        parameters.Kind != CR_DRIVE_PHYSICAL)
        return {};
    return std::string(parameters.Device, strnlen(parameters.Device, sizeof(parameters.Device)));
}

CdIo_t* OpenPhysical(int drive)
{
    const std::string device = PhysicalDevice(drive);
    return device.empty() ? nullptr : cdio_open(device.c_str(), DRIVER_DEVICE);
}

TMSF FromCdio(const msf_t& msf)
{
    return {cdio_from_bcd8(msf.m), cdio_from_bcd8(msf.s), cdio_from_bcd8(msf.f)};
}

msf_t ToCdio(const TMSF& msf)
{
    return {cdio_to_bcd8(msf.Minute), cdio_to_bcd8(msf.Second), cdio_to_bcd8(msf.Frame)};
}

// Levels are 0..255 in libcdio; the player's channels are 0..65535.
std::uint32_t ToPlayerLevel(std::uint8_t level)
{
    return level * 257u;
}

class CdioAudioDevice final : public TCDAudioDevice {
public:
    ~CdioAudioDevice() override { Close(); }

    bool Open(int drive) override
    {
        Close();
        cdio_ = OpenPhysical(drive);
        return cdio_ != nullptr;
    }

    void Close() override
    {
        if (cdio_ != nullptr)
            cdio_destroy(cdio_);
        cdio_ = nullptr;
    }

    std::optional<bool> MediaPresent() override
    {
        if (cdio_ == nullptr)
            return std::nullopt;
        return cdio_get_first_track_num(cdio_) != CDIO_INVALID_TRACK;
    }

    std::optional<TCDAudioMode> Mode() override
    {
        cdio_subchannel_t subchannel{};
        if (cdio_ == nullptr || cdio_audio_read_subchannel(cdio_, &subchannel) != DRIVER_OP_SUCCESS)
            return std::nullopt;
        switch (subchannel.audio_status) {
        case CDIO_MMC_READ_SUB_ST_PLAY: return TCDAudioMode::Playing;
        case CDIO_MMC_READ_SUB_ST_PAUSED: return TCDAudioMode::Paused;
        default: return TCDAudioMode::Stopped;
        }
    }

    std::optional<int> NumberOfTracks() override
    {
        if (cdio_ == nullptr)
            return std::nullopt;
        const track_t count = cdio_get_num_tracks(cdio_);
        if (count == CDIO_INVALID_TRACK)
            return std::nullopt;
        return static_cast<int>(count);
    }

    std::optional<TMSF> TrackPosition(int track) override
    {
        if (cdio_ == nullptr)
            return std::nullopt;
        const track_t first = cdio_get_first_track_num(cdio_);
        msf_t msf{};
        if (first == CDIO_INVALID_TRACK ||
            !cdio_get_track_msf(cdio_, static_cast<track_t>(first + track - 1), &msf))
            return std::nullopt;
        return FromCdio(msf);
    }

    std::optional<TMSF> DiscLength() override
    {
        msf_t msf{};
        if (cdio_ == nullptr || !cdio_get_track_msf(cdio_, CDIO_CDROM_LEADOUT_TRACK, &msf))
            return std::nullopt;
        return FromCdio(msf);
    }

    std::optional<bool> TrackIsAudio(int track) override
    {
        if (cdio_ == nullptr)
            return std::nullopt;
        const track_t first = cdio_get_first_track_num(cdio_);
        if (first == CDIO_INVALID_TRACK)
            return std::nullopt;
        const track_format_t format =
            cdio_get_track_format(cdio_, static_cast<track_t>(first + track - 1));
        if (format == TRACK_FORMAT_ERROR)
            return std::nullopt;
        return format == TRACK_FORMAT_AUDIO;
    }

    bool Play(const TMSF& from, const TMSF& to) override
    {
        msf_t start = ToCdio(from);
        msf_t end = ToCdio(to);
        return cdio_ != nullptr && cdio_audio_play_msf(cdio_, &start, &end) == DRIVER_OP_SUCCESS;
    }

    bool Pause() override
    {
        return cdio_ != nullptr && cdio_audio_pause(cdio_) == DRIVER_OP_SUCCESS;
    }

    bool Stop() override { return cdio_ != nullptr && cdio_audio_stop(cdio_) == DRIVER_OP_SUCCESS; }

    std::optional<std::uint32_t> Volume(int drive) override
    {
        CdIo_t* cdio = OpenPhysical(drive);
        if (cdio == nullptr)
            return std::nullopt;
        cdio_audio_volume_t volume{};
        const bool read = cdio_audio_get_volume(cdio, &volume) == DRIVER_OP_SUCCESS;
        cdio_destroy(cdio);
        if (!read)
            return std::nullopt;
        return ToPlayerLevel(volume.level[0]) | ToPlayerLevel(volume.level[1]) << 16;
    }

    void SetVolume(int drive, std::uint32_t value) override
    {
        CdIo_t* cdio = OpenPhysical(drive);
        if (cdio == nullptr)
            return;
        cdio_audio_volume_t volume{};
        // The channels beyond the first two keep what the drive has.
        if (cdio_audio_get_volume(cdio, &volume) == DRIVER_OP_SUCCESS) {
            volume.level[0] = static_cast<std::uint8_t>((value & 0xFFFF) >> 8);
            volume.level[1] = static_cast<std::uint8_t>(value >> 24);
            cdio_audio_set_volume(cdio, &volume);
        }
        cdio_destroy(cdio);
    }

private:
    CdIo_t* cdio_ = nullptr;
};

} // namespace

std::unique_ptr<TCDAudioDevice> MakeCdioAudioDevice()
{
    return std::make_unique<CdioAudioDevice>();
}

} // namespace sonfeld
