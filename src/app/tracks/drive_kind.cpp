#include "drive_kind.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "audio/cd/cdrip_binding.h"

namespace sonfeld::app {

namespace {

bool DriveInfo(int drive, CR_DriveParameters& parameters)
{
    return drive >= 0 && cdrip::Loaded() && cdrip::Api().GetDriveInfo != nullptr &&
           cdrip::Api().GetDriveInfo(drive, &parameters) == CR_OK;
}

} // namespace

bool IsImageDrive(int drive)
{
    CR_DriveParameters parameters{};
    return DriveInfo(drive, parameters) && parameters.Kind == CR_DRIVE_IMAGE;
}

int DriveOfImage(const std::string& path)
{
    if (!cdrip::Loaded())
        return -1;
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path, error);
    if (error)
        return -1;
    const int count = cdrip::Api().GetNumCDROM();
    for (int drive = 0; drive < count; ++drive) {
        CR_DriveParameters parameters{};
        if (!DriveInfo(drive, parameters) || parameters.Kind != CR_DRIVE_IMAGE)
            continue;
        const std::size_t length = strnlen(parameters.Device, sizeof(parameters.Device));
        // A path cut to fit the record cannot be told from another.
        if (length + 1 >= sizeof(parameters.Device))
            continue;
        std::error_code same;
        if (std::filesystem::equivalent(std::string(parameters.Device, length), wanted, same))
            return drive;
    }
    return -1;
}

} // namespace sonfeld::app
