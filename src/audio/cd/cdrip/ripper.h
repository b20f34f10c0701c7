#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cdrip_api.h"
#include "drives.h"
#include "problem_log.h"
#include "read_window.h"
#include "secure_reader.h"

typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace sonfeld::cdrip {

// Reads a range of audio sectors of one drive (a CUE, TOC or NRG image: from
// its files, whatever the mode).
// Secure mode reads every sector twice past the drive's cache and re-reads
// what differs (SecureReader); old-drive mode takes the first pass from
// libcdio-paranoia's overlap matching and checks it the same way; fast mode
// reads once through paranoia with its verification off. A sector that stays
// unreadable within the retry bound is a failure, never silently copied; one
// whose reads never agree is reported suspicious. The drive's read offset is corrected here,
// above paranoia and the image reader alike, since paranoia's own offset
// handling fails beyond one sector. One ripper is used by one thread at a time
// (the library's lock guarantees it); each rip opens the drive afresh, so
// nothing read by an earlier rip is reused.
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
    bool Open(const Drive& drive, std::int32_t start, std::int32_t end, int chunkSectors,
              const CR_RipOptions& options);
    // Fills buffer (chunkSectors * 2352 bytes) with little-endian PCM of the
    // next sectors; returns the bytes stored, 0 at the end, -1 on failure.
    std::int32_t Read(std::uint8_t* buffer);

    const CR_RipStatistics& Statistics() const { return problems_.Statistics(); }
    const ProblemLog& Problems() const { return problems_; }
    // Every sector handed out was read twice alike, or came from a CUE image's files.
    bool Proven() const;
    const CR_RipOptions& Options() const { return options_; }
    std::int32_t CurrentSector() const;
    int PercentCompleted() const;
    const std::string& Error() const { return error_; }

private:
    void Close();
    bool OpenParanoia(const Drive& drive);
    // The audio sectors around start, as far as the drive can read on.
    void FindReadableRegion(std::int32_t start);
    bool ReadSectors(std::int32_t first, int count, std::uint8_t* out);
    bool ReadParanoiaSectors(std::int32_t first, int count, std::uint8_t* out);
    void StartSecureReader(std::int32_t end);

    // An image read by our own readers has no read errors to verify away: its
    // sectors come straight from the files, whatever the reading mode, and
    // the statistics stay those of a clean read.
    std::shared_ptr<disc::ImageReader> image_;
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    std::int32_t start_ = 0;
    std::int32_t end_ = 0;
    std::int32_t readableFirst_ = 0;
    std::int32_t readableEnd_ = 0;
    std::int32_t paranoiaNext_ = -1; // the sector paranoia reads next; -1 before the first seek
    int chunkSectors_ = 1;
    bool driveIsImage_ = false;
    CR_RipOptions options_{0, CR_READ_SECURE, 0, 0};
    std::unique_ptr<ReadWindow> window_;
    std::unique_ptr<SectorSource> plainSource_;
    std::unique_ptr<SectorSource> paranoiaSource_;
    std::unique_ptr<SecureReader> secure_;
    ProblemLog problems_;
    std::string error_;
};

} // namespace sonfeld::cdrip
