#pragma once

#include <cstdint>
#include <vector>

// A decoder for the compressor's entropy stage, written from the format's
// description of the decoding side, so the tests can check that what the
// encoder writes reads back. Not used by the product.
namespace sonfeld::test::ape {

class RangeDecoder {
public:
    explicit RangeDecoder(const std::vector<std::uint8_t>& bytes) : bytes_(bytes)
    {
        Next(); // the leading byte carries nothing
        accumulator_ = Next();
        low_ = accumulator_ >> 1;
        range_ = 1u << 7;
    }

    // A value in [0, total) coded with total as the divisor.
    std::uint32_t DecodeUniform(std::uint32_t total)
    {
        Normalize();
        step_ = range_ / total;
        const std::uint32_t value = low_ / step_;
        return value < total ? value : total - 1;
    }
    // Consumes the value of DecodeUniform (or of a symbol search).
    void Consume(std::uint32_t cumulative, std::uint32_t width)
    {
        low_ -= step_ * cumulative;
        range_ = step_ * width;
    }
    std::uint32_t DecodeRaw16()
    {
        Normalize();
        range_ >>= 16;
        const std::uint32_t value = low_ / range_;
        low_ -= value * range_;
        return value;
    }
    // The cumulative count (out of 2^16) of the next symbol.
    std::uint32_t DecodeCumulative()
    {
        Normalize();
        step_ = range_ >> 16;
        return low_ / step_;
    }

private:
    std::uint32_t Next() { return position_ < bytes_.size() ? bytes_[position_++] : 0; }
    void Normalize()
    {
        while (range_ <= (1u << 23)) {
            accumulator_ = (accumulator_ << 8) | Next();
            low_ = (low_ << 8) | ((accumulator_ >> 1) & 0xFF);
            range_ <<= 8;
        }
    }

    const std::vector<std::uint8_t>& bytes_;
    std::size_t position_ = 0;
    std::uint32_t accumulator_ = 0;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = 0;
    std::uint32_t step_ = 1;
};

// Decodes one residual coded by ResidualCoder, keeping the same ksum.
class ResidualDecoder {
public:
    std::int32_t Decode(RangeDecoder& d)
    {
        static constexpr std::uint32_t kWidths[21] = {19578, 16582, 12257, 7906, 4576, 2366, 1170,
                                                      536,   261,   119,   65,   31,   19,   10,
                                                      6,     3,     3,     2,    1,    1,    1};
        std::uint32_t pivot = ksum_ >> 5;
        if (pivot == 0)
            pivot = 1;
        const std::uint32_t c = d.DecodeCumulative();
        std::uint32_t symbol = 0;
        std::uint32_t cumulative = 0;
        if (c > 65492) {
            symbol = c - 65472;
            cumulative = c;
        } else {
            while (cumulative + kWidths[symbol] <= c)
                cumulative += kWidths[symbol++];
        }
        d.Consume(cumulative, symbol <= 20 ? kWidths[symbol] : 1);
        std::uint32_t overflow = symbol;
        if (symbol == 63) {
            const std::uint32_t high = d.DecodeRaw16();
            overflow = (high << 16) | d.DecodeRaw16();
        }
        std::uint32_t base = 0;
        if (pivot < 65536) {
            base = d.DecodeUniform(pivot);
            d.Consume(base, 1);
        } else {
            int bits = 0;
            while ((pivot >> bits) >= 65536)
                ++bits;
            const std::uint32_t high = d.DecodeUniform((pivot >> bits) + 1);
            d.Consume(high, 1);
            const std::uint32_t low = d.DecodeUniform(1u << bits);
            d.Consume(low, 1);
            base = (high << bits) + low;
        }
        const std::uint32_t u = overflow * pivot + base;
        ksum_ += static_cast<std::uint32_t>((static_cast<std::uint64_t>(u) + 1) / 2) -
                 static_cast<std::uint32_t>((static_cast<std::uint64_t>(ksum_) + 16) / 32);
        return (u & 1) != 0 ? static_cast<std::int32_t>((u >> 1) + 1)
                            : -static_cast<std::int32_t>(u >> 1);
    }

private:
    std::uint32_t ksum_ = 16384;
};

} // namespace sonfeld::test::ape
