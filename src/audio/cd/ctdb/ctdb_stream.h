#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ctdb_toc.h"

namespace sonfeld::ctdb {

constexpr int kStrideSamples = 5880;             // 10 sectors
constexpr int kStrideWords = 2 * kStrideSamples; // one row of the code
constexpr int kMaxNpar = 16;
constexpr int kDiscOffsetRange = kStrideSamples - 1; // offsets searched for the disc
constexpr int kTrackOffsetRange = 5 * 588 - 1;       // and for single tracks

// The audio the database covers: from index 01 of the first audio track to
// the end of the last one, N stereo samples, with the audio tracks' starts.
struct CtdbLayout {
    std::int64_t samples = 0;
    std::vector<std::int64_t> trackStarts; // first is 0

    static CtdbLayout FromToc(const CtdbToc& toc);
    // Samples after the protected window: 5880 + (N mod 5880).
    std::int64_t Suffix() const { return kStrideSamples + samples % kStrideSamples; }
    // Rows 1..L of the code hold the protected words.
    int DataRows() const { return static_cast<int>(2 * samples / kStrideWords) - 2; }
    // The samples [begin, end) a track's CRC covers at offset 0: the first
    // track leaves out the disc's first stride, the last the suffix. Empty
    // for a track out of range or too short to keep any.
    std::optional<std::pair<std::int64_t, std::int64_t>> TrackWindow(std::size_t track) const;
};

// One pass over a rip's audio (16-bit little-endian stereo, from index 01 of
// the first audio track on), keeping what verification and repair need: the
// running CRC near every track boundary and both ends, the syndromes of every
// column at offset 0, and the first two and the last rows of words.
class CtdbStreamAnalysis {
public:
    // npar: syndromes kept per column (at most 16).
    explicit CtdbStreamAnalysis(CtdbLayout layout, int npar = kMaxNpar);

    // Empty when the layout can be analysed (at least 3 rows, at most 65519 rows).
    const std::string& LayoutError() const { return layoutError_; }

    // Feeds the audio in order, pieces of any size. Bytes past N samples are
    // counted and make the analysis incomplete.
    void Update(const std::uint8_t* data, std::size_t size);
    // Exactly N samples were fed.
    bool Complete() const;

    const CtdbLayout& Layout() const { return layout_; }
    int Npar() const { return npar_; }

    // All of these need Complete(). Offsets: |offset| <= kDiscOffsetRange.
    std::uint32_t DiscCrc(int offset) const;
    // track: 0-based audio track.
    std::uint32_t TrackCrc(std::size_t track, int offset) const;
    // Syndromes S_0..S_{count-1} of one column at an offset (count <= Npar()).
    void Syndromes(int offset, int column, int count, std::uint16_t* out) const;
    // Window of the disc CRC at an offset, in bytes of the rip.
    std::int64_t DiscWindowBegin(int offset) const;
    std::int64_t DiscWindowEnd(int offset) const;

private:
    struct Interval {
        std::int64_t first = 0; // sample position of values[0]
        std::vector<std::uint32_t> values;
    };
    std::uint32_t PrefixCrc(std::int64_t sample) const;
    std::uint32_t RangeCrc(std::int64_t beginSample, std::int64_t endSample) const;
    void AddWords(const std::uint8_t* bytes, std::size_t words);
    std::uint16_t HeadWord(std::int64_t index) const;
    std::uint16_t TailWord(std::int64_t index) const;

    CtdbLayout layout_;
    int npar_;
    int rows_ = 0;
    std::string layoutError_;
    std::vector<Interval> intervals_; // sorted, disjoint
    std::size_t nextInterval_ = 0;
    std::uint32_t crcState_ = 0xFFFFFFFFu;
    std::int64_t bytesSeen_ = 0;
    std::int64_t wordsAdded_ = 0;
    std::uint8_t carry_ = 0;
    bool hasCarry_ = false;
    std::vector<std::uint16_t> syndromes_;                  // column-major: column * npar + i
    std::vector<std::uint16_t> head_;                       // rows 0 and 1
    std::vector<std::uint16_t> tail_;                       // words from row L on
    std::vector<std::uint16_t> multiplyLow_, multiplyHigh_; // alpha^i times a byte
};

} // namespace sonfeld::ctdb
