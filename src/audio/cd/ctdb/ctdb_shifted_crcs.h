#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ctdb_stream.h"

namespace sonfeld::ctdb {

// What the checksum pass kept of one audio track: its length, its CRC-32 and
// the running CRC near both ends (head[k] after the first k samples, tail[k]
// after the first tailFrom + k).
struct CtdbTrackEdges {
    std::int64_t samples = 0;
    std::uint32_t crc = 0;
    std::span<const std::uint32_t> head;
    std::int64_t tailFrom = 0;
    std::span<const std::uint32_t> tail;
};

// The disc and track CRCs of a rip at other alignments, pieced together from
// each track's kept edges: no second pass over the audio. Tracks that are
// missing (or not of their layout's length) leave the windows that reach into
// them unknown.
class CtdbShiftedCrcs {
public:
    // tracks: one per audio track of the layout, in order.
    CtdbShiftedCrcs(const CtdbLayout& layout,
                    const std::vector<std::optional<CtdbTrackEdges>>& tracks);

    // As CtdbStreamAnalysis's, for |offset| <= kDiscOffsetRange; nothing
    // when the window reaches audio that is not known.
    std::optional<std::uint32_t> DiscCrc(int offset) const;
    std::optional<std::uint32_t> TrackCrc(std::size_t track, int offset) const;

private:
    // The running CRC of a stretch of whole tracks (a run), remembered near
    // the tracks' ends.
    struct Known {
        std::int64_t first = 0; // sample position of values[0]
        int run = 0;
        std::vector<std::uint32_t> values;
    };
    std::optional<std::uint32_t> RangeCrc(std::int64_t begin, std::int64_t end) const;
    const Known* Find(std::int64_t sample) const;

    CtdbLayout layout_;
    std::vector<Known> known_;
    mutable std::uint64_t shiftBytes_ = 0;
    mutable std::uint32_t shift_ = 1u << 31; // x^0: moves a CRC past no bytes
};

} // namespace sonfeld::ctdb
