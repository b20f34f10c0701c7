#pragma once

#include <QString>

#include "audio/cd/cd_types.h"

// How the rip reads the disc: the reading mode, test and copy, and each
// drive's read offset, as the settings store keeps them.
namespace sonfeld::app {

enum class TReadingMode {
    Secure,     // "安全模式": full paranoia on every sector
    FastVerify, // "快速并校验": full speed, a secure re-read of what AccurateRip does not confirm
    OldDrive, // "旧光驱模式": paranoia's overlap matching, checked against plain reads
};

// The stored value names and the texts the user sees.
QString ReadingModeValue(TReadingMode mode);
QString ReadingModeText(TReadingMode mode);
// The read every pass of the mode makes (a fast-then-verify queue reads fast
// until its plan turns secure).
TCDReadMode ReadModeOf(TReadingMode mode);
// Raises ESettingsError when the stored value is not "secure", "fastVerify" or "oldDrive".
TReadingMode StoredReadingMode();
void StoreReadingMode(TReadingMode mode);

// A drive's read offset in samples, 0 until one is stored. Raises
// ESettingsError when the stored value is no integer in -2940 .. 2940.
int ReadOffsetOfDrive(const QString& driveName);
// Raises std::invalid_argument ("The read offset is out of range.") outside
// -2940 .. 2940, ESettingsError when the store cannot be written.
void StoreReadOffsetOfDrive(const QString& driveName, int samples);

// What one queue reads with: the stored values, or those a command line gave.
struct TReadingOptions {
    TReadingMode Mode = TReadingMode::Secure;
    bool TestAndCopy = false;
    int ReadOffset = 0;
};
TReadingOptions StoredReadingOptions(const QString& driveName);

} // namespace sonfeld::app
