#pragma once

#include <bit>
#include <cstdint>

#include "range_coder.h"

namespace sonfeld::ape {

// Codes the residuals of one channel: each value as an overflow symbol over an
// adaptive pivot plus a uniformly coded remainder. The pivot follows ksum, a
// leaky sum of recent magnitudes, one state per coded channel, reset per frame.
class ResidualCoder {
public:
    static constexpr std::uint32_t kInitialKSum = 16384;

    void Reset() { ksum_ = kInitialKSum; }
    std::uint32_t KSum() const { return ksum_; }

    void Encode(RangeCoder& coder, std::int32_t residual)
    {
        const std::uint32_t u = residual > 0 ? 2u * static_cast<std::uint32_t>(residual) - 1u
                                             : 0u - 2u * static_cast<std::uint32_t>(residual);
        std::uint32_t pivot = ksum_ >> 5;
        if (pivot == 0)
            pivot = 1;
        ksum_ += static_cast<std::uint32_t>((static_cast<std::uint64_t>(u) + 1) >> 1) -
                 static_cast<std::uint32_t>((static_cast<std::uint64_t>(ksum_) + 16) >> 5);

        // Off the coder's serial path, so a division costs less here than
        // the mispredicted branches of stepping would.
        const std::uint32_t overflow = u / pivot;
        const std::uint32_t base = u - overflow * pivot;

        if (overflow < 63) {
            coder.EncodeSymbol(kCumulative[overflow],
                               kCumulative[overflow + 1] - kCumulative[overflow]);
        } else {
            coder.EncodeSymbol(kCumulative[63], 1);
            coder.EncodeRaw16(overflow >> 16);
            coder.EncodeRaw16(overflow & 0xFFFFu);
        }

        if (pivot < 65536) {
            coder.EncodeUniform(base, pivot);
        } else {
            const int shift = std::bit_width(pivot) - 16;
            coder.EncodeUniform(base >> shift, (pivot >> shift) + 1);
            coder.EncodeUniform(base & ((1u << shift) - 1), 1u << shift);
        }
    }

private:
    // Cumulative counts of the 64 overflow symbols over 2^16; entry s+1 - s is
    // the width of symbol s.
    static constexpr std::uint32_t kCumulative[65] = {
        0,     19578, 36160, 48417, 56323, 60899, 63265, 64435, 64971, 65232, 65351, 65416, 65447,
        65466, 65476, 65482, 65485, 65488, 65490, 65491, 65492, 65493, 65494, 65495, 65496, 65497,
        65498, 65499, 65500, 65501, 65502, 65503, 65504, 65505, 65506, 65507, 65508, 65509, 65510,
        65511, 65512, 65513, 65514, 65515, 65516, 65517, 65518, 65519, 65520, 65521, 65522, 65523,
        65524, 65525, 65526, 65527, 65528, 65529, 65530, 65531, 65532, 65533, 65534, 65535, 65536};

    std::uint32_t ksum_ = kInitialKSum;
};

} // namespace sonfeld::ape
