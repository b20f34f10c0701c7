#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "accuraterip_database.h"
#include "accuraterip_verdict.h"
#include "track_checksums.h"

namespace sonfeld::verify {

// The largest read offset AccurateRip's edge skips allow for, in samples.
constexpr int kMaxReadOffset = kEdgeSkipSamples;

// A track as read without offset correction, with marginSamples more on each
// side (the neighbouring tracks' samples, or zeros where the drive cannot
// read: before the disc's first sector, past the lead-out).
struct OffsetSearchAudio {
    const std::uint8_t* pcm = nullptr; // (2 * marginSamples + trackSamples) * 4 bytes
    std::size_t bytes = 0;
    std::int64_t marginSamples = 0;
    std::int64_t trackSamples = 0;
    TrackPlace place;
};

enum class OffsetEvidence {
    TrackChecksum, // the whole track's v1 or v2 matches at this offset
    OffsetSector,  // only the sector-450 sum matches: a hint, it may belong to another pressing
};

// An offset the drive may have. A track that matches at offset N reads right
// once the read window moves N samples later; on an uncorrected rip it is the
// drive's offset plus the pressing's.
struct OffsetCandidate {
    int offset = 0;
    OffsetEvidence evidence = OffsetEvidence::OffsetSector;
    int confidence = 0; // highest confidence among the entries that matched
    AccurateRipVersion version = AccurateRipVersion::None;
    std::uint32_t v1 = 0; // the track's sums read at this offset
    std::uint32_t v2 = 0;
};

// Slides the track's checksums over every offset within ±min(maxOffset,
// marginSamples) in one pass and returns the offsets where the entry of
// tocTrackNumber in any pressing matches: whole-track matches first (highest
// confidence first, then the smallest offset), then sector-450 hints. Empty
// when nothing matches. Raises std::invalid_argument when pcm is shorter than
// the track and its margins.
std::vector<OffsetCandidate> FindReadOffsets(const OffsetSearchAudio& audio,
                                             const std::vector<AccurateRipPressing>& pressings,
                                             int tocTrackNumber, int maxOffset = kMaxReadOffset);

} // namespace sonfeld::verify
