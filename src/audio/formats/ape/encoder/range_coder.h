#pragma once

#include <cstdint>

namespace sonfeld::ape {

// The byte-oriented range coder of the format's entropy stage: 32 code bits,
// carries resolved through one buffered byte and a count of pending 0xFF
// bytes. Output goes to a caller-owned byte array that must be large enough
// (see FrameEncoder for the bound); nothing is allocated here.
class RangeCoder {
public:
    static constexpr std::uint32_t kTop = 1u << 31;
    static constexpr std::uint32_t kBottom = 1u << 23;
    static constexpr int kShift = 23;

    // Begins a frame's coded section, writing from out onwards.
    void Start(std::uint8_t* out)
    {
        out_ = out;
        begin_ = out;
        low_ = 0;
        range_ = kTop;
        buffer_ = 0;
        pending_ = 0;
    }

    // A symbol occupying [cumulative, cumulative + width) of 2^16.
    void EncodeSymbol(std::uint32_t cumulative, std::uint32_t width)
    {
        Normalize();
        const std::uint32_t r = range_ >> 16;
        low_ += r * cumulative;
        range_ = r * width;
    }

    // 16 bits, equally likely.
    void EncodeRaw16(std::uint32_t value)
    {
        Normalize();
        range_ >>= 16;
        low_ += range_ * value;
    }

    // value in [0, total), 1 <= total <= 65536, equally likely.
    void EncodeUniform(std::uint32_t value, std::uint32_t total)
    {
        Normalize();
        const std::uint32_t r = range_ / total;
        low_ += r * value;
        range_ = r;
    }

    // Ends the section (the last byte of low, then three zero bytes that keep
    // a decoder's look-ahead inside the frame); returns its length in bytes.
    std::uint32_t Finish()
    {
        Normalize();
        const std::uint32_t t = (low_ >> kShift) + 1;
        if (t > 0xFFu)
            Flush(static_cast<std::uint8_t>(buffer_ + 1), 0x00);
        else
            Flush(static_cast<std::uint8_t>(buffer_), 0xFF);
        *out_++ = static_cast<std::uint8_t>(t);
        *out_++ = 0;
        *out_++ = 0;
        *out_++ = 0;
        return static_cast<std::uint32_t>(out_ - begin_);
    }

private:
    void Flush(std::uint8_t first, std::uint8_t fill)
    {
        *out_++ = first;
        for (; pending_ > 0; --pending_)
            *out_++ = fill;
    }

    void Normalize()
    {
        while (range_ <= kBottom) {
            if (low_ < (0xFFu << kShift)) {
                Flush(static_cast<std::uint8_t>(buffer_), 0xFF);
                buffer_ = low_ >> kShift;
            } else if ((low_ & kTop) != 0) {
                Flush(static_cast<std::uint8_t>(buffer_ + 1), 0x00);
                buffer_ = (low_ >> kShift) & 0xFFu;
            } else {
                ++pending_;
            }
            low_ = (low_ << 8) & (kTop - 1);
            range_ <<= 8;
        }
    }

    std::uint8_t* out_ = nullptr;
    std::uint8_t* begin_ = nullptr;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = kTop;
    std::uint32_t buffer_ = 0;
    std::uint32_t pending_ = 0;
};

} // namespace sonfeld::ape
