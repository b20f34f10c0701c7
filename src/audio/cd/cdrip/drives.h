#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <cdio/cdio.h>

namespace sonfeld::disc {
class ImageReader;
}

namespace sonfeld::cdrip {

// One drive of the library's list: a physical CD/DVD drive or a disc image.
struct Drive {
    std::string name;   // shown to the user
    std::string device; // device path or image path, as libcdio opens it
    bool image = false;
    driver_id_t driver = DRIVER_UNKNOWN;
    // A CUE, TOC or NRG image, read by our own readers instead of libcdio.
    std::shared_ptr<disc::ImageReader> reader;
};

// One entry of a table of contents, the lead-out included.
struct TocEntry {
    std::int32_t startSector = 0; // LSN
    std::uint8_t control = 0;     // CR_CONTROL_* bits
    std::uint8_t trackNumber = 0; // 0xAA for the lead-out
};

// Owns a libcdio handle.
class CdioHandle {
public:
    explicit CdioHandle(CdIo_t* handle = nullptr) : handle_(handle) {}
    ~CdioHandle();
    CdioHandle(CdioHandle&& other) noexcept : handle_(other.Release()) {}
    CdioHandle& operator=(CdioHandle&& other) noexcept;
    CdioHandle(const CdioHandle&) = delete;
    CdioHandle& operator=(const CdioHandle&) = delete;

    CdIo_t* Get() const { return handle_; }
    CdIo_t* Release()
    {
        CdIo_t* handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    CdIo_t* handle_;
};

// The physical drives libcdio finds, named by vendor, model, revision and path.
std::vector<Drive> FindPhysicalDrives();
// The image at path as a drive: CUE, TOC and NRG images through our readers,
// other images through libcdio. Anything but a regular readable file is refused before
// libcdio sees it. nullopt with error set ("无法打开光盘镜像: …") on failure.
std::optional<Drive> OpenImageDrive(const std::string& path, std::string& error);

// Why a table of contents (tracks then lead-out) cannot be a CD's: no
// tracks or more than 99, numbers that do not count up by one, starts that
// do not rise, a disc longer than 99:59:74. Empty when it can.
std::string CheckTableOfContents(const std::vector<TocEntry>& entries);

// A fresh handle on the drive, so that a changed disc is seen; empty on failure.
CdioHandle OpenDrive(const Drive& drive);
// The table of contents of the disc in the drive (tracks then lead-out), or
// nullopt when there is no disc or the table cannot be read.
std::optional<std::vector<TocEntry>> ReadTableOfContents(const Drive& drive);
bool MediaLoaded(const Drive& drive);
bool AudioPlaying(const Drive& drive);
// Opens the tray; false when the drive cannot (an image, or the drive refused).
bool EjectMedia(const Drive& drive);

} // namespace sonfeld::cdrip
