#pragma once

#include <cstdint>
#include <vector>

namespace sonfeld::verify::test {

// The formulas written out directly, one pass per value, as the oracle the
// streaming code is checked against.
struct ReferenceSums {
    std::uint32_t crc32 = 0;
    std::uint32_t crc32WithoutNulls = 0;
    std::uint32_t v1 = 0;
    std::uint32_t v2 = 0;
    std::uint32_t sector450 = 0;
    bool hasSector450 = false;
    int peak = 0;
};

inline std::uint32_t ReferenceCrc32(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1u) != 0 ? 0xEDB88320u : 0u);
    }
    return ~crc;
}

inline ReferenceSums Reference(const std::vector<std::uint8_t>& pcm, bool first, bool last)
{
    ReferenceSums sums;
    sums.crc32 = ReferenceCrc32(pcm);
    std::vector<std::uint8_t> nonZero;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const auto value = static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8));
        if (value != 0) {
            nonZero.push_back(pcm[i]);
            nonZero.push_back(pcm[i + 1]);
        }
        const int magnitude = value < 0 ? -static_cast<int>(value) : value;
        if (magnitude > sums.peak)
            sums.peak = magnitude;
    }
    sums.crc32WithoutNulls = ReferenceCrc32(nonZero);

    const long long n = static_cast<long long>(pcm.size() / 4);
    std::vector<std::uint32_t> w(static_cast<std::size_t>(n));
    for (long long i = 0; i < n; ++i)
        w[i] = pcm[4 * i] | (pcm[4 * i + 1] << 8) | (pcm[4 * i + 2] << 16) |
               (static_cast<std::uint32_t>(pcm[4 * i + 3]) << 24);
    const long long from = first ? 2940 : 1;
    const long long to = last ? n - 2940 : n;
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    for (long long i = from; i <= to; ++i) {
        const std::uint64_t p = static_cast<std::uint64_t>(i) * w[i - 1];
        low += p & 0xFFFFFFFFu;
        high += p >> 32;
    }
    sums.v1 = static_cast<std::uint32_t>(low);
    sums.v2 = static_cast<std::uint32_t>(low + high);
    if (n >= 451 * 588) {
        sums.hasSector450 = true;
        std::uint64_t s = 0;
        for (long long m = 1; m <= 588; ++m)
            s += static_cast<std::uint64_t>(m) * w[450 * 588 + m - 1];
        sums.sector450 = static_cast<std::uint32_t>(s);
    }
    return sums;
}

// Deterministic, non-trivial PCM: every byte varies, some values are zero.
inline std::vector<std::uint8_t> GeneratedPcm(long long samples, std::uint32_t seed)
{
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(samples) * 4);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        pcm[i] = static_cast<std::uint8_t>(state >> 24);
        if ((i / 2) % 7 == 3)
            pcm[i] = 0;
    }
    return pcm;
}

} // namespace sonfeld::verify::test
