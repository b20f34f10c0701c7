#pragma once

#include <cstdint>
#include <vector>

#include "nn_filter.h"

namespace sonfeld::ape {

// The prediction of one coded channel, input sample -> residual:
// a fixed first-order filter on the channel and on its side input, an
// adaptive filter over the channel's own recent values (4 taps) and the side
// input's (5 taps, the current value included), then the level's cascade of
// NN filters. Prediction looks only at the input, so a whole frame's channel
// is predicted in one call, stage after stage.
//
// All state is reset per frame; nothing is allocated after construction.
// Used by one thread at a time.
class ChannelPredictor {
public:
    // level: 1000, 2000, 3000 or 4000.
    explicit ChannelPredictor(int level);

    // The values of one channel of a frame, from its first block.
    struct Channel {
        const std::int32_t* input;
        const std::int32_t* side; // side input per value; null: all zero
        std::int32_t* residuals;  // may not overlap input or side
    };

    // Predicts count values of one channel.
    void CompressFrame(const Channel& channel, std::uint32_t count);
    // Predicts two channels with two predictors of the same level at once:
    // their work overlaps, which is faster than one after the other.
    static void CompressFrames(ChannelPredictor& a, const Channel& channelA, ChannelPredictor& b,
                               const Channel& channelB, std::uint32_t count);

private:
    std::vector<NNFilter> filters_; // in the order the encoder applies them
};

} // namespace sonfeld::ape
