#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "problem_log.h"

namespace sonfeld::cdrip {

// Where raw audio sectors come from: a drive read plainly, paranoia's
// verified stream, or a test's model of a drive.
class SectorSource {
public:
    virtual ~SectorSource() = default;
    // Reads count sectors from first on into out (count * 2352 bytes). When
    // c2 is not nullptr and the drive gives C2 error pointers, c2[i] is set
    // non-zero for a sector the drive flagged; without pointers it stays 0.
    // false when the drive refused the read.
    virtual bool Read(std::int32_t first, int count, std::uint8_t* out, std::uint8_t* c2) = 0;
};

struct SecureSettings {
    // Re-reads of a block whose reads differ before it is reported suspicious.
    int maxRereads = 16;
    // Sectors read elsewhere between two reads of a block. A drive answers a
    // re-read of a recent block from its cache, which would make the second
    // read a copy of the first; 2048 sectors (4.8 MB) exceed the 2-4 MB of
    // common drives' caches. Also the size of the regions read per pass.
    int cacheSectors = 2048;
};

// Reads every block at least twice, on passes that defeat the drive's cache,
// and compares the passes block by block by checksum. A block whose reads
// differ (or that the drive flags by C2) is re-read, again past the cache,
// until two reads agree; one that never agrees is delivered from its first
// read and reported CR_PROBLEM_SUSPICIOUS, and the rip is then unproven.
//
// Regions of cacheSectors are read in an interleaved order: the first pass
// of the next region lies between the two passes of this one, so the cache
// is defeated without extra reads except around the last region.
//
// first, when given, makes the first pass of every region come from it (the
// old-drive mode: paranoia's overlap matching) while the second pass and the
// re-reads come from plain: paranoia's result is then never the only check.
class SecureReader {
public:
    SecureReader(SectorSource& plain, SectorSource* first, ProblemLog& problems,
                 std::int32_t spanEnd, std::int32_t readableFirst, std::int32_t readableEnd,
                 SecureSettings settings);

    // The sectors [first, first + count), read in ascending order; regions
    // end at spanEnd (the rip's last sector, one past). false with Error()
    // set when a sector stays unreadable after the re-reads.
    bool Read(std::int32_t first, int count, std::uint8_t* out);

    // Every block handed out so far was read twice alike.
    bool Proven() const { return suspicious_ == 0; }
    int Suspicious() const { return suspicious_; }
    // Sectors read in all, passes and re-reads and cache flushes.
    std::int64_t SectorsRead() const { return sectorsRead_; }
    const std::string& Error() const { return error_; }

private:
    struct Region {
        std::int32_t first = 0;
        std::int32_t end = 0;
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> c2;
    };

    bool Verify(std::int32_t first);
    bool ReadRegion(SectorSource& source, std::int32_t first, std::int32_t end, Region& region);
    bool ReadRetrying(SectorSource& source, std::int32_t first, int count, std::uint8_t* out,
                      std::uint8_t* c2);
    bool Resolve(Region& result, const Region& second);
    // Reads about cacheSectors sectors as far from [first, end) as the disc allows.
    void Flush(std::int32_t first, std::int32_t end);

    SectorSource& plain_;
    SectorSource* first_;
    ProblemLog& problems_;
    std::int32_t spanEnd_;
    std::int32_t readableFirst_;
    std::int32_t readableEnd_;
    SecureSettings settings_;
    Region verified_;
    Region pending_; // the next region's first pass, read ahead as the cache flush
    std::vector<std::uint8_t> scratch_;
    int suspicious_ = 0;
    std::int64_t sectorsRead_ = 0;
    std::string error_;
};

// The checksum the passes are compared by (64-bit FNV-1a of one sector).
std::uint64_t SectorChecksum(const std::uint8_t* sector);

} // namespace sonfeld::cdrip
