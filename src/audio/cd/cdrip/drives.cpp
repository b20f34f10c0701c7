#include "drives.h"

// drives.h brings cdio.h first: audio.h relies on its types.
#include <cdio/audio.h>
#include <cdio/device.h>
#include <cdio/mmc.h>
#include <cdio/track.h>

#include <cstdlib>
#include <filesystem>

#include "audio/cd/disc/embedded_sheet.h"
#include "audio/cd/disc/image_reader.h"
#include "cdio_log.h"
#include "cdrip_api.h"

namespace sonfeld::cdrip {

CdioHandle::~CdioHandle()
{
    if (handle_ != nullptr)
        cdio_destroy(handle_);
}

CdioHandle& CdioHandle::operator=(CdioHandle&& other) noexcept
{
    if (this != &other) {
        if (handle_ != nullptr)
            cdio_destroy(handle_);
        handle_ = other.Release();
    }
    return *this;
}

namespace {

std::string Trimmed(const char* text)
{
    std::string result(text);
    const auto end = result.find_last_not_of(' ');
    result.erase(end == std::string::npos ? 0 : end + 1);
    const auto begin = result.find_first_not_of(' ');
    return begin == std::string::npos ? std::string() : result.substr(begin);
}

std::string PhysicalDriveName(const std::string& device)
{
    CdioHandle handle(cdio_open(device.c_str(), DRIVER_DEVICE));
    cdio_hwinfo_t info{};
    if (!handle || !cdio_get_hwinfo(handle.Get(), &info))
        return device;
    std::string name;
    for (const char* part : {info.psz_vendor, info.psz_model, info.psz_revision}) {
        const std::string text = Trimmed(part);
        if (!text.empty())
            name += (name.empty() ? "" : " ") + text;
    }
    return name.empty() ? device : name + " (" + device + ")";
}

} // namespace

std::vector<Drive> FindPhysicalDrives()
{
    std::vector<Drive> drives;
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    if (devices == nullptr)
        return drives;
    for (char** device = devices; *device != nullptr; ++device)
        drives.push_back({PhysicalDriveName(*device), *device, false, DRIVER_DEVICE, nullptr});
    cdio_free_device_list(devices);
    return drives;
}

namespace {

// Why the table libcdio read from an image cannot be used, or an empty text.
std::string CheckImageLayout(CdIo_t* cdio)
{
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
        return "the image lists no tracks.";
    std::vector<TocEntry> entries;
    for (int track = first; track < first + count; ++track)
        entries.push_back({cdio_get_track_lsn(cdio, static_cast<track_t>(track)), 0,
                           static_cast<std::uint8_t>(track)});
    entries.push_back({cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK), 0, 0xAA});
    return CheckTableOfContents(entries);
}

} // namespace

std::optional<Drive> OpenImageDrive(const std::string& path, std::string& error)
{
    const std::string prefix = "无法打开光盘镜像: ";
    if (path.empty()) {
        error = prefix + "no path was given.";
        return std::nullopt;
    }
    // The path the user gave is the name: two images of one file name in
    // different folders must stay distinguishable in the drive list.
    Drive drive{path, path, true, DRIVER_UNKNOWN, nullptr};
    try {
        disc::CheckReadableFile(path, path);
        // A sheet encoding the user gave wins over the guess.
        const char* given = std::getenv("SONFELD_CUE_ENCODING");
        const std::string encoding = given != nullptr ? given : "";
        // CUE and TOC files by their names, NRG images by their footer:
        // libcdio never reads these, whatever the reading mode.
        if (auto reader = disc::OpenImageReader(path, encoding)) {
            drive.reader = std::move(reader);
            drive.driver = DRIVER_BINCUE;
            return drive;
        }
        if (disc::MayEmbedSheet(path)) {
            drive.reader = disc::OpenEmbeddedSheetReader(path, encoding);
            drive.driver = DRIVER_BINCUE;
            return drive;
        }
        // libcdio would open a BIN through the CUE sheet of its name with a
        // reader of its own; ours reads that sheet instead.
        if (char* sheet = cdio_is_binfile(path.c_str())) {
            const std::string sheetPath = sheet;
            cdio_free(sheet);
            drive.reader = disc::OpenCueReader(sheetPath, encoding);
            drive.driver = DRIVER_BINCUE;
            return drive;
        }
    } catch (const disc::DiscError& failure) {
        error = prefix + path + ": " + failure.what();
        return std::nullopt;
    }
    InstallCdioLogHandler();
    ClearCdioLog();
    CdioHandle handle(cdio_open(path.c_str(), DRIVER_UNKNOWN));
    if (!handle || cdio_get_first_track_num(handle.Get()) == CDIO_INVALID_TRACK) {
        const std::string message = LastCdioMessage();
        error = prefix + path +
                (message.empty() ? ": not a disc image libcdio can read." : ": " + message);
        return std::nullopt;
    }
    drive.driver = cdio_get_driver_id(handle.Get());
    if (const std::string reason = CheckImageLayout(handle.Get()); !reason.empty()) {
        error = prefix + path + ": " + reason;
        return std::nullopt;
    }
    return drive;
}

CdioHandle OpenDrive(const Drive& drive)
{
    return CdioHandle(cdio_open(drive.device.c_str(), drive.driver));
}

std::string CheckTableOfContents(const std::vector<TocEntry>& entries)
{
    if (entries.size() < 2)
        return "the table of contents lists no tracks.";
    if (entries.size() - 1 > static_cast<std::size_t>(disc::kMaxTracks))
        return "the table of contents lists " + std::to_string(entries.size() - 1) +
               " tracks; a CD holds at most 99.";
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        const TocEntry& entry = entries[i];
        if (entry.trackNumber < 1 || entry.trackNumber > disc::kMaxTracks ||
            (i > 0 && entry.trackNumber != entries[i - 1].trackNumber + 1))
            return "the table of contents numbers its tracks out of order.";
        if (entry.startSector < 0 || entries[i + 1].startSector <= entry.startSector)
            return "track " + std::to_string(entry.trackNumber) +
                   " starts at or past the next track or the end of the disc.";
    }
    if (entries.back().startSector > disc::kMaxDiscSectors)
        return "the disc lasts " + std::to_string(entries.back().startSector / 4500) +
               " minutes, longer than a CD can be (99:59:74).";
    return {};
}

std::optional<std::vector<TocEntry>> ReadTableOfContents(const Drive& drive)
{
    if (drive.reader) {
        const disc::DiscModel& model = drive.reader->Model();
        std::vector<TocEntry> entries;
        for (const disc::Track& track : model.tracks) {
            const auto control =
                static_cast<std::uint8_t>((track.data ? CR_CONTROL_DATA : 0) |
                                          (track.preEmphasis ? CR_CONTROL_PREEMPHASIS : 0) |
                                          (track.copyPermitted ? CR_CONTROL_COPY_PERMITTED : 0) |
                                          (track.fourChannel ? CR_CONTROL_FOUR_CHANNEL : 0));
            entries.push_back({track.startLsn, control, static_cast<std::uint8_t>(track.number)});
        }
        entries.push_back({model.leadOutLsn, 0, 0xAA});
        return entries;
    }
    CdioHandle handle = OpenDrive(drive);
    if (!handle)
        return std::nullopt;
    CdIo_t* cdio = handle.Get();
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
        return std::nullopt;

    std::vector<TocEntry> entries;
    for (track_t track = first; track < first + count; ++track) {
        const lsn_t start = cdio_get_track_lsn(cdio, track);
        if (start == CDIO_INVALID_LSN)
            return std::nullopt;
        std::uint8_t control = 0;
        if (cdio_get_track_format(cdio, track) != TRACK_FORMAT_AUDIO)
            control |= CR_CONTROL_DATA;
        if (cdio_get_track_copy_permit(cdio, track) == CDIO_TRACK_FLAG_TRUE)
            control |= CR_CONTROL_COPY_PERMITTED;
        if (cdio_get_track_preemphasis(cdio, track) == CDIO_TRACK_FLAG_TRUE)
            control |= CR_CONTROL_PREEMPHASIS;
        if (cdio_get_track_channels(cdio, track) == 4)
            control |= CR_CONTROL_FOUR_CHANNEL;
        entries.push_back({start, control, static_cast<std::uint8_t>(track)});
    }
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN)
        return std::nullopt;
    entries.push_back({leadOut, 0, 0xAA});
    // A table no CD can have is not read from: its sectors are not there.
    if (!CheckTableOfContents(entries).empty())
        return std::nullopt;
    return entries;
}

bool MediaLoaded(const Drive& drive)
{
    if (drive.reader)
        return true;
    CdioHandle handle = OpenDrive(drive);
    return handle && cdio_get_first_track_num(handle.Get()) != CDIO_INVALID_TRACK;
}

bool AudioPlaying(const Drive& drive)
{
    if (drive.image)
        return false;
    CdioHandle handle = OpenDrive(drive);
    cdio_subchannel_t subchannel{};
    return handle && cdio_audio_read_subchannel(handle.Get(), &subchannel) == DRIVER_OP_SUCCESS &&
           subchannel.audio_status == CDIO_MMC_READ_SUB_ST_PLAY;
}

bool EjectMedia(const Drive& drive)
{
    if (drive.image)
        return false;
    return cdio_eject_media_drive(drive.device.c_str()) == DRIVER_OP_SUCCESS;
}

} // namespace sonfeld::cdrip
