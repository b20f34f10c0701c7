#pragma once

#include <string>

// Whether a drive of the CR_ library is a disc image rather than a physical
// drive. UI thread.
namespace sonfeld::app {

// False for a physical drive, a drive index the library does not know, and a
// library that cannot tell (its drives are then taken for physical ones).
bool IsImageDrive(int drive);

// The drive that stands for the image at path (the same file, however
// named), or -1 when none does or the library cannot tell.
int DriveOfImage(const std::string& path);

} // namespace sonfeld::app
