#include "frame_encoder.h"

#include <algorithm>

#include "audio/core/crc32.h"

namespace sonfeld::ape {

namespace {

// Flags word values: which channels are all zero, or identical.
constexpr std::uint32_t kSecondSilent = 1;
constexpr std::uint32_t kFirstSilent = 2;
constexpr std::uint32_t kPseudoStereo = 4;
constexpr std::uint32_t kHasFlags = 0x80000000u;

std::uint8_t* PutBigEndian(std::uint8_t* out, std::uint32_t v)
{
    out[0] = static_cast<std::uint8_t>(v >> 24);
    out[1] = static_cast<std::uint8_t>(v >> 16);
    out[2] = static_cast<std::uint8_t>(v >> 8);
    out[3] = static_cast<std::uint8_t>(v);
    return out + 4;
}

bool AllZero(const std::int32_t* v, std::uint32_t n)
{
    for (std::uint32_t i = 0; i < n; ++i)
        if (v[i] != 0)
            return false;
    return true;
}

} // namespace

std::size_t FrameEncoder::MaxFrameBytes(std::uint32_t blocks, int channels)
{
    // A value costs at most 16 (symbol) + 32 (escaped overflow) + 32 (split
    // base) bits plus a byte of rounding; the frame adds 8 header bytes and the
    // coder's 5 bytes of start and finish.
    return static_cast<std::size_t>(blocks) * static_cast<std::size_t>(channels) * 12 + 16;
}

FrameEncoder::FrameEncoder(int level, int channels, int bitsPerSample, std::uint32_t blocksPerFrame)
    : channels_(channels), bitsPerSample_(bitsPerSample), firstStorage_(blocksPerFrame + 1),
      first_(firstStorage_.data() + 1), second_(channels == 2 ? blocksPerFrame : 0),
      residualsY_(channels == 2 ? blocksPerFrame : 0), residualsX_(blocksPerFrame),
      output_(MaxFrameBytes(blocksPerFrame, channels)), predictorY_(level), predictorX_(level)
{
}

void FrameEncoder::Unpack(const std::uint8_t* pcm, std::uint32_t blocks)
{
    const int stride = channels_;
    for (int c = 0; c < channels_; ++c) {
        std::int32_t* out = c == 0 ? first_ : second_.data();
        switch (bitsPerSample_) {
        case 8:
            for (std::uint32_t i = 0; i < blocks; ++i)
                out[i] = static_cast<std::int32_t>(pcm[i * stride + c]) - 128;
            break;
        case 16:
            for (std::uint32_t i = 0; i < blocks; ++i) {
                const std::uint8_t* p = pcm + 2 * (i * stride + c);
                out[i] = static_cast<std::int16_t>(p[0] | (p[1] << 8));
            }
            break;
        default:
            for (std::uint32_t i = 0; i < blocks; ++i) {
                const std::uint8_t* p = pcm + 3 * (i * stride + c);
                const auto raw = static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
                out[i] = static_cast<std::int32_t>(raw << 8) >> 8;
            }
            break;
        }
    }
}

std::uint32_t FrameEncoder::SpecialFlags(std::uint32_t blocks) const
{
    // Only 16-bit frames carry flags; other depths always code every channel.
    if (bitsPerSample_ != 16)
        return 0;
    if (channels_ == 1)
        return AllZero(first_, blocks) ? kSecondSilent : 0;
    std::uint32_t flags = 0;
    if (AllZero(second_.data(), blocks))
        flags |= kSecondSilent;
    if (AllZero(first_, blocks))
        flags |= kFirstSilent;
    bool same = true;
    for (std::uint32_t i = 0; i < blocks && same; ++i)
        same = first_[i] == second_[i];
    if (same)
        flags |= kPseudoStereo;
    return flags;
}

std::span<const std::int32_t> FrameEncoder::Residuals(int channel) const
{
    if (channel == 0 && !codedY_)
        return {};
    const std::vector<std::int32_t>& v = channel == 0 ? residualsY_ : residualsX_;
    return {v.data(), std::min<std::size_t>(blocks_, v.size())};
}

std::span<const std::uint8_t> FrameEncoder::Encode(const std::uint8_t* pcm, std::uint32_t blocks)
{
    blocks_ = blocks;
    const std::size_t pcmBytes = static_cast<std::size_t>(blocks) *
                                 static_cast<std::size_t>(channels_) * (bitsPerSample_ / 8);
    const std::uint32_t crc = Crc32(pcm, pcmBytes) >> 1;
    Unpack(pcm, blocks);
    flags_ = SpecialFlags(blocks);

    std::uint8_t* out = output_.data();
    out = PutBigEndian(out, flags_ != 0 ? crc | kHasFlags : crc);
    if (flags_ != 0)
        out = PutBigEndian(out, flags_);

    coderY_.Reset();
    coderX_.Reset();
    rangeCoder_.Start(out);
    codedY_ = false;

    const bool silent =
        channels_ == 2 ? (flags_ & (kFirstSilent | kSecondSilent)) == (kFirstSilent | kSecondSilent)
                       : (flags_ & kSecondSilent) != 0;
    if (silent) {
        blocks_ = 0;
    } else if (channels_ == 1 || (flags_ & kPseudoStereo) != 0) {
        predictorX_.CompressFrame({first_, nullptr, residualsX_.data()}, blocks);
        for (std::uint32_t t = 0; t < blocks; ++t)
            coderX_.Encode(rangeCoder_, residualsX_[t]);
    } else {
        std::int32_t* x = first_;
        std::int32_t* y = second_.data();
        for (std::uint32_t t = 0; t < blocks; ++t) {
            const std::int32_t side = y[t] - x[t];
            x[t] = x[t] + side / 2;
            y[t] = side;
        }
        // Y looks at the previous block's X (x[-1] is the frame's zero), X at
        // the current Y. Prediction needs only the input, so both channels are
        // predicted side by side first; the coder then interleaves Y and X.
        ChannelPredictor::CompressFrames(predictorY_, {y, x - 1, residualsY_.data()}, predictorX_,
                                         {x, y, residualsX_.data()}, blocks);
        codedY_ = true;
        for (std::uint32_t t = 0; t < blocks; ++t) {
            coderY_.Encode(rangeCoder_, residualsY_[t]);
            coderX_.Encode(rangeCoder_, residualsX_[t]);
        }
    }
    const std::uint32_t coded = rangeCoder_.Finish();
    return {output_.data(), static_cast<std::size_t>(out - output_.data()) + coded};
}

} // namespace sonfeld::ape
