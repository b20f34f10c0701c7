#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cdrip_api.h"
#include "drives.h"

typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace sonfeld::cdrip {

// Reads a range of audio sectors of one drive through libcdio-paranoia with
// full verification (a CUE image: from its files). A sector that paranoia cannot verify within the
// retry bound is a failure, never silently copied. One ripper is used by one thread at a time (the
// library's lock guarantees it).
class Ripper {
public:
    // Retries paranoia makes on one sector before giving it up.
    static constexpr int kMaxRetries = 20;

    Ripper() = default;
    ~Ripper();
    Ripper(const Ripper&) = delete;
    Ripper& operator=(const Ripper&) = delete;

    // Opens the drive for sectors start .. end - 1, reading chunkSectors per
    // Read. Returns false with Error() set when the drive cannot be opened.
    bool Open(const Drive& drive, std::int32_t start, std::int32_t end, int chunkSectors);
    // Fills buffer (chunkSectors * 2352 bytes) with little-endian PCM of the
    // next sectors; returns the bytes stored, 0 at the end, -1 on failure.
    std::int32_t Read(std::uint8_t* buffer);

    const CR_RipStatistics& Statistics() const { return statistics_; }
    std::int32_t CurrentSector() const { return next_; }
    int PercentCompleted() const;
    const std::string& Error() const { return error_; }

private:
    void Close();

    // A CUE image has no read errors to verify away: its sectors come
    // straight from the files, and the statistics stay those of a clean read.
    std::shared_ptr<disc::CueImage> image_;
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    std::int32_t start_ = 0;
    std::int32_t end_ = 0;
    std::int32_t next_ = 0;
    int chunkSectors_ = 1;
    CR_RipStatistics statistics_{0, 0, 0, -1};
    std::string error_;
};

} // namespace sonfeld::cdrip
