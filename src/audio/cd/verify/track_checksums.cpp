#include "track_checksums.h"

#include <algorithm>
#include <cstring>

#include "audio/core/crc32.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sonfeld::verify {

namespace {

// Small enough to stay in the first-level cache between the passes over it.
constexpr std::size_t kBlockSamples = 4096;

std::uint32_t SampleWord(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::int16_t Value16(const std::uint8_t* bytes)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

struct BlockScan {
    int high = 0; // largest 16-bit value
    int low = 0;  // smallest
    bool hasNull = false;
};

void ScanRest(const std::uint8_t* pcm, std::size_t from, std::size_t samples, BlockScan& scan)
{
    for (std::size_t i = from; i < samples; ++i)
        for (int channel = 0; channel < 2; ++channel) {
            const int value = Value16(pcm + 4 * i + 2 * channel);
            scan.high = std::max(scan.high, value);
            scan.low = std::min(scan.low, value);
            scan.hasNull = scan.hasNull || value == 0;
        }
}

// Adds index * word over samples from … samples - 1, the multiplier counting
// up from first; the low halves of the 64-bit products go to low, the high
// halves to high.
void SumRest(const std::uint8_t* pcm, std::size_t from, std::size_t samples, std::uint32_t first,
             std::uint32_t& low, std::uint32_t& high)
{
    for (std::size_t i = from; i < samples; ++i) {
        const std::uint64_t product =
            static_cast<std::uint64_t>(first + static_cast<std::uint32_t>(i)) *
            SampleWord(pcm + 4 * i);
        low += static_cast<std::uint32_t>(product);
        high += static_cast<std::uint32_t>(product >> 32);
    }
}

#if defined(__x86_64__)

// The same with eight samples per step.
__attribute__((target("avx2"))) BlockScan ScanWide(const std::uint8_t* pcm, std::size_t samples)
{
    __m256i maxima = _mm256_setzero_si256();
    __m256i minima = _mm256_setzero_si256();
    __m256i nulls = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pcm + 4 * i));
        maxima = _mm256_max_epi16(maxima, v);
        minima = _mm256_min_epi16(minima, v);
        nulls = _mm256_or_si256(nulls, _mm256_cmpeq_epi16(v, _mm256_setzero_si256()));
    }
    std::int16_t lanes[16];
    BlockScan scan;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), maxima);
    scan.high = *std::max_element(lanes, lanes + 16);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), minima);
    scan.low = *std::min_element(lanes, lanes + 16);
    scan.hasNull = _mm256_movemask_epi8(nulls) != 0;
    ScanRest(pcm, i, samples, scan);
    return scan;
}

__attribute__((target("avx2"))) void SumWide(const std::uint8_t* pcm, std::size_t samples,
                                             std::uint32_t first, std::uint32_t& low,
                                             std::uint32_t& high)
{
    // The even 32-bit lanes add the products' low halves, the odd lanes their
    // high halves, each modulo 2^32 as the checksums are.
    __m256i sums = _mm256_setzero_si256();
    __m256i index = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(first)),
                                     _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256i eight = _mm256_set1_epi32(8);
    std::size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pcm + 4 * i));
        const __m256i even = _mm256_mul_epu32(words, index);
        const __m256i odd =
            _mm256_mul_epu32(_mm256_srli_epi64(words, 32), _mm256_srli_epi64(index, 32));
        sums = _mm256_add_epi32(sums, _mm256_add_epi32(even, odd));
        index = _mm256_add_epi32(index, eight);
    }
    std::uint32_t lanes[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), sums);
    low += lanes[0] + lanes[2] + lanes[4] + lanes[6];
    high += lanes[1] + lanes[3] + lanes[5] + lanes[7];
    SumRest(pcm, i, samples, first, low, high);
}

bool Wide()
{
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}

#endif

// The largest and smallest 16-bit values of the block, and whether any is zero.
BlockScan Scan(const std::uint8_t* pcm, std::size_t samples)
{
#if defined(__x86_64__)
    if (Wide())
        return ScanWide(pcm, samples);
#endif
    BlockScan scan;
    ScanRest(pcm, 0, samples, scan);
    return scan;
}

void WeightedSums(const std::uint8_t* pcm, std::size_t samples, std::uint32_t first,
                  std::uint32_t& low, std::uint32_t& high)
{
#if defined(__x86_64__)
    if (Wide())
        return SumWide(pcm, samples, first, low, high);
#endif
    SumRest(pcm, 0, samples, first, low, high);
}

// crc continued over the block's 16-bit values that are not zero: the runs
// between zeros go to the CRC whole.
std::uint32_t CrcWithoutNulls(std::uint32_t crc, const std::uint8_t* pcm, std::size_t bytes)
{
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < bytes) {
        if (i + 8 <= bytes) {
            // Four values at once; the expression is nonzero exactly when one of them is zero.
            std::uint64_t v = 0;
            std::memcpy(&v, pcm + i, 8);
            if (((v - 0x0001000100010001u) & ~v & 0x8000800080008000u) == 0) {
                i += 8;
                continue;
            }
        }
        if ((pcm[i] | pcm[i + 1]) == 0) {
            if (i > runStart)
                crc = Crc32(crc, pcm + runStart, i - runStart);
            runStart = i + 2;
        }
        i += 2;
    }
    return Crc32(crc, pcm + runStart, bytes - runStart);
}

} // namespace

TrackChecksumAccumulator::TrackChecksumAccumulator(std::int64_t trackSamples, TrackPlace place)
    : trackSamples_(trackSamples < 0 ? 0 : trackSamples),
      windowFrom_(place.firstAudioTrack ? kEdgeSkipSamples : 1),
      windowTo_(place.lastAudioTrack ? trackSamples_ - kEdgeSkipSamples : trackSamples_),
      ctdbFrom_(std::max<std::int64_t>(place.ctdbFrom, 0)), ctdbTo_(place.ctdbTo)
{
    const std::int64_t headTo = std::min(trackSamples_, ctdbFrom_ + kCtdbEdgeSamples);
    const std::int64_t windowEnd = ctdbTo_ < 0 ? trackSamples_ : std::min(ctdbTo_, trackSamples_);
    edgeTailFrom_ = std::max<std::int64_t>(0, windowEnd - kCtdbEdgeSamples);
    edgeHead_.resize(static_cast<std::size_t>(headTo + 1));
    edgeTail_.resize(static_cast<std::size_t>(trackSamples_ - edgeTailFrom_ + 1));
}

void TrackChecksumAccumulator::Add(const void* pcm, std::size_t bytes)
{
    const auto* data = static_cast<const std::uint8_t*>(pcm);
    std::size_t used = 0;
    if (partialBytes_ > 0) {
        while (partialBytes_ < kBytesPerSample && used < bytes)
            partial_[partialBytes_++] = data[used++];
        if (partialBytes_ < kBytesPerSample)
            return;
        AddSamples(partial_.data(), 1);
        partialBytes_ = 0;
    }
    const std::size_t whole = (bytes - used) / kBytesPerSample;
    AddSamples(data + used, whole);
    used += whole * kBytesPerSample;
    while (used < bytes)
        partial_[partialBytes_++] = data[used++];
}

void TrackChecksumAccumulator::AddSamples(const std::uint8_t* pcm, std::size_t count)
{
    while (count > 0) {
        std::size_t n = std::min(count, kBlockSamples);
        // Blocks end at the CTDB window's edges: the CRC there is kept, and
        // the window's CRC follows from the two without a second pass.
        for (const std::int64_t edge : {ctdbFrom_, ctdbTo_})
            if (edge > samples_ && edge < samples_ + static_cast<std::int64_t>(n))
                n = static_cast<std::size_t>(edge - samples_);
        KeepEdges(pcm, n);
        AddBlock(pcm, n);
        if (samples_ == ctdbFrom_)
            crcAtCtdbFrom_ = crc_;
        if (samples_ == ctdbTo_)
            crcAtCtdbTo_ = crc_;
        pcm += n * kBytesPerSample;
        count -= n;
    }
}

void TrackChecksumAccumulator::KeepEdges(const std::uint8_t* pcm, std::size_t count)
{
    const std::int64_t first = samples_;
    const std::int64_t last = samples_ + static_cast<std::int64_t>(count);
    const auto keep = [&](std::int64_t from, std::vector<std::uint32_t>& values) {
        const std::int64_t a = std::max(first, from);
        const std::int64_t b = std::min(last, from + static_cast<std::int64_t>(values.size()) - 1);
        if (a > b)
            return;
        std::uint32_t crc = Crc32(crc_, pcm, static_cast<std::size_t>(a - first) * kBytesPerSample);
        for (std::int64_t p = a; p <= b; ++p) {
            values[static_cast<std::size_t>(p - from)] = crc;
            if (p < b)
                crc = Crc32(crc, pcm + (p - first) * kBytesPerSample, kBytesPerSample);
        }
    };
    keep(0, edgeHead_);
    keep(edgeTailFrom_, edgeTail_);
}

void TrackChecksumAccumulator::AddBlock(const std::uint8_t* pcm, std::size_t count)
{
    const std::size_t bytes = count * kBytesPerSample;
    const BlockScan scan = Scan(pcm, count);
    peak_ = std::max({peak_, scan.high, -scan.low});
    if (scan.hasNull) {
        crc_ = Crc32(crc_, pcm, bytes);
        crcNoNulls_ = CrcWithoutNulls(crcNoNulls_, pcm, bytes);
    } else {
        // One pass over the bytes serves both CRCs.
        const std::uint32_t blockCrc = Crc32(pcm, bytes);
        crc_ = Crc32Combine(crc_, blockCrc, bytes);
        crcNoNulls_ = Crc32Combine(crcNoNulls_, blockCrc, bytes);
    }

    // AccurateRip's multiplier counts samples from 1.
    const std::int64_t first = samples_ + 1;
    const std::int64_t last = samples_ + static_cast<std::int64_t>(count);
    const std::int64_t from = std::max(first, windowFrom_);
    const std::int64_t to = std::min(last, windowTo_);
    if (from <= to)
        WeightedSums(pcm + (from - first) * kBytesPerSample,
                     static_cast<std::size_t>(to - from + 1), static_cast<std::uint32_t>(from), v1_,
                     highSum_);
    const std::int64_t offsetStart = static_cast<std::int64_t>(kOffsetSector) * kSamplesPerSector;
    const std::int64_t offsetFrom = std::max(first, offsetStart + 1);
    const std::int64_t offsetTo = std::min(last, offsetStart + kSamplesPerSector);
    for (std::int64_t i = offsetFrom; i <= offsetTo; ++i)
        offsetSum_ += static_cast<std::uint32_t>(i - offsetStart) *
                      SampleWord(pcm + (i - first) * kBytesPerSample);
    samples_ = last;
}

TrackChecksums TrackChecksumAccumulator::Result() const
{
    TrackChecksums result;
    // Bytes of an unfinished sample count for the CRC alone.
    result.crc32 = Crc32(crc_, partial_.data(), static_cast<std::size_t>(partialBytes_));
    result.crc32WithoutNulls = crcNoNulls_;
    const std::int64_t to = ctdbTo_ < 0 ? samples_ : std::min(ctdbTo_, samples_);
    const std::uint32_t crcAtTo = ctdbTo_ < 0 || ctdbTo_ > samples_ ? crc_ : crcAtCtdbTo_;
    if (to > ctdbFrom_ && samples_ >= ctdbFrom_)
        result.ctdbCrc =
            Crc32Combine(crcAtCtdbFrom_, crcAtTo, static_cast<std::uint64_t>(to - ctdbFrom_) * 4);
    result.edgeHead = edgeHead_;
    result.edgeTailFrom = edgeTailFrom_;
    result.edgeTail = edgeTail_;
    result.accurateRipV1 = v1_;
    result.accurateRipV2 = v1_ + highSum_;
    if (samples_ >= static_cast<std::int64_t>(kOffsetSector + 1) * kSamplesPerSector)
        result.offsetSectorSum = offsetSum_;
    result.peak = peak_;
    result.samples = samples_;
    result.complete = samples_ == trackSamples_ && partialBytes_ == 0;
    return result;
}

} // namespace sonfeld::verify
