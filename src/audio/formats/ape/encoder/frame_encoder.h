#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "channel_predictor.h"
#include "range_coder.h"
#include "residual_coder.h"

namespace sonfeld::ape {

// Compresses one frame: interleaved little-endian PCM in, the frame's logical
// bytes out (CRC word, optional flags word, range-coded residuals). Frames are
// independent; every call starts from the reset state.
//
// All buffers are sized for blocksPerFrame at construction, so Encode
// allocates nothing. One instance is used by one thread at a time.
class FrameEncoder {
public:
    // channels: 1 or 2; bitsPerSample: 8, 16 or 24; level: 1000..4000.
    FrameEncoder(int level, int channels, int bitsPerSample, std::uint32_t blocksPerFrame);

    // blocks: 1..blocksPerFrame. The returned bytes stay valid until the next call.
    std::span<const std::uint8_t> Encode(const std::uint8_t* pcm, std::uint32_t blocks);

    // The residuals of the last Encode: 0 = Y, 1 = X. Mono and pseudo-stereo
    // frames code X only; silent frames code nothing.
    std::span<const std::int32_t> Residuals(int channel) const;
    // The flags word of the last Encode (0 when none was written).
    std::uint32_t Flags() const { return flags_; }

    // The worst-case size of a frame's logical bytes.
    static std::size_t MaxFrameBytes(std::uint32_t blocks, int channels);

private:
    void Unpack(const std::uint8_t* pcm, std::uint32_t blocks);
    std::uint32_t SpecialFlags(std::uint32_t blocks) const;

    int channels_;
    int bitsPerSample_;
    std::uint32_t blocks_ = 0;
    std::uint32_t flags_ = 0;
    // Channel 0, then X, stored one place in: element 0 stays zero, the
    // "previous X" of a frame's first block.
    std::vector<std::int32_t> firstStorage_;
    std::int32_t* first_ = nullptr;
    std::vector<std::int32_t> second_; // channel 1, then Y
    std::vector<std::int32_t> residualsY_;
    std::vector<std::int32_t> residualsX_;
    std::vector<std::uint8_t> output_;
    bool codedY_ = false;
    ChannelPredictor predictorY_;
    ChannelPredictor predictorX_;
    ResidualCoder coderY_;
    ResidualCoder coderX_;
    RangeCoder rangeCoder_;
};

} // namespace sonfeld::ape
