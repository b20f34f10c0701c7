#pragma once

#include <cstdint>
#include <vector>

#include "accuraterip_database.h"

namespace sonfeld::verify {

enum class AccurateRipStatus {
    Match,         // a pressing holds the track's v1 or v2
    Mismatch,      // the disc is known, the track's sums are not
    NotInDatabase, // the disc (or this track of it) is not in the database
    LookupFailed,  // the database could not be asked or answered nonsense
};

enum class AccurateRipVersion { None, V1, V2 };

struct AccurateRipVerdict {
    AccurateRipStatus status = AccurateRipStatus::LookupFailed;
    int confidence = 0; // the highest confidence among the matching entries
    AccurateRipVersion version = AccurateRipVersion::None;
};

// Compares a ripped track's v1 and v2 with the entry for it in every
// pressing. tocTrackNumber picks the entry: entries are indexed by TOC track
// number - 1, which also holds for a mixed-mode disc whose data track 1 has
// an empty entry (its last audio track then has none: not in the database).
AccurateRipVerdict VerifyTrack(const std::vector<AccurateRipPressing>& pressings,
                               int tocTrackNumber, std::uint32_t v1, std::uint32_t v2);

} // namespace sonfeld::verify
