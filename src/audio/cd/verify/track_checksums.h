#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sonfeld::verify {

// CD audio in samples: one sample is a stereo pair of 16-bit values, 4 bytes.
constexpr int kBytesPerSample = 4;
constexpr int kSamplesPerSector = 588;
// AccurateRip leaves out this many samples at the start of a disc's first
// audio track and at the end of its last: drives cannot all read the edges.
constexpr int kEdgeSkipSamples = 5 * kSamplesPerSector;
// The sector (0-based, within the track) whose sum AccurateRip keeps for
// finding read offsets; tracks shorter than this plus one sector have none.
constexpr int kOffsetSector = 450;

// How far the CTDB shifts its windows when it looks for another pressing's
// alignment: the running CRC is kept this far around the window's edges.
constexpr std::int64_t kCtdbEdgeSamples = 5880;

// Where a track sits on the disc, for AccurateRip's edge skips. A disc with a
// single audio track has both.
struct TrackPlace {
    bool firstAudioTrack = false;
    bool lastAudioTrack = false;
    // The CTDB's window within the track, in samples from its start: the
    // disc's first track leaves out its first 10 sectors, the last one its
    // last 10 to 19; -1 for the end: up to the track's end.
    std::int64_t ctdbFrom = 0;
    std::int64_t ctdbTo = -1;
};

// Everything known about one track's PCM once it went through an accumulator.
struct TrackChecksums {
    std::uint32_t crc32 = 0;
    // The same CRC with every 16-bit value that is zero left out.
    std::uint32_t crc32WithoutNulls = 0;
    std::uint32_t accurateRipV1 = 0;
    std::uint32_t accurateRipV2 = 0;
    // The v1-style sum of sector 450; absent for shorter tracks.
    std::optional<std::uint32_t> offsetSectorSum;
    // The CRC32 of the CTDB's window of the track (TrackPlace), at offset 0;
    // the track's CRC32 where the window is the whole track.
    std::uint32_t ctdbCrc = 0;
    // The running CRC32 near the track's ends, from which the CTDB's windows
    // at other alignments follow: edgeHead[k] after the first k samples (k up
    // to ctdbFrom + kCtdbEdgeSamples), edgeTail[k] after the first
    // edgeTailFrom + k (from kCtdbEdgeSamples before the window's end on).
    std::vector<std::uint32_t> edgeHead;
    std::int64_t edgeTailFrom = 0;
    std::vector<std::uint32_t> edgeTail;
    // Largest magnitude of any 16-bit value, 0 … 32768.
    int peak = 0;
    std::int64_t samples = 0;
    // False when the PCM was shorter or longer than the track, or ended inside
    // a sample: the AccurateRip sums then prove nothing.
    bool complete = false;

    double PeakPercent() const { return peak * 100.0 / 32768.0; }
};

// Computes a track's checksums over its PCM handed in pieces of any size
// (a piece may end inside a sample). The track's length in samples must be
// known up front: the last track's AccurateRip window ends 2940 samples
// before its end.
class TrackChecksumAccumulator {
public:
    TrackChecksumAccumulator(std::int64_t trackSamples, TrackPlace place);

    void Add(const void* pcm, std::size_t bytes);
    TrackChecksums Result() const;
    std::int64_t TrackSamples() const { return trackSamples_; }

private:
    // Whole samples, in blocks: the sums run over arrays, not one call per sample.
    void AddSamples(const std::uint8_t* pcm, std::size_t count);
    void AddBlock(const std::uint8_t* pcm, std::size_t count);
    // Before the block goes in: the running CRC at its positions near the ends.
    void KeepEdges(const std::uint8_t* pcm, std::size_t count);

    std::int64_t trackSamples_;
    std::int64_t windowFrom_; // 1-based, inclusive
    std::int64_t windowTo_;   // 1-based, inclusive
    std::int64_t samples_ = 0;
    std::int64_t ctdbFrom_;
    std::int64_t ctdbTo_;             // -1: the end
    std::uint32_t crcAtCtdbFrom_ = 0; // crc_ when ctdbFrom_ samples were in
    std::uint32_t crcAtCtdbTo_ = 0;
    std::int64_t edgeTailFrom_ = 0;
    std::vector<std::uint32_t> edgeHead_;
    std::vector<std::uint32_t> edgeTail_;
    std::uint32_t crc_ = 0; // of every whole sample so far
    std::uint32_t crcNoNulls_ = 0;
    std::uint32_t v1_ = 0;
    std::uint32_t highSum_ = 0;
    std::uint32_t offsetSum_ = 0;
    int peak_ = 0;
    std::array<std::uint8_t, kBytesPerSample> partial_{};
    int partialBytes_ = 0;
};

} // namespace sonfeld::verify
