#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonfeld::verify {

// One track's entry in a pressing: a track checksum (v1 or v2, not marked)
// and the sum of its sector 450. Confidence 0 with a zero checksum means none.
struct AccurateRipTrackEntry {
    int confidence = 0;
    std::uint32_t checksum = 0;
    std::uint32_t offsetSectorSum = 0;

    bool Empty() const { return confidence == 0 && checksum == 0; }
};

// One record of a database file: a set of submissions that agree.
struct AccurateRipPressing {
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t freedbId = 0;
    std::vector<AccurateRipTrackEntry> tracks;
};

struct AccurateRipDatabaseFile {
    std::vector<AccurateRipPressing> pressings;
    // Empty when the file was read whole; otherwise why not, and pressings is empty.
    std::string error;

    bool Ok() const { return error.empty(); }
};

// Reads a database file (dBAR-nnn-id1-id2-cddb.bin): records of a 13-byte
// header (u8 track count, u32 id1, u32 id2, u32 freedb ID) and 9 bytes per
// track (u8 confidence, u32 checksum, u32 sector-450 sum), little-endian,
// until the end. Anything short, empty or with a record of no tracks is an
// error; the bytes are never read past size.
AccurateRipDatabaseFile ParseAccurateRipDatabase(const std::uint8_t* data, std::size_t size);

} // namespace sonfeld::verify
