#pragma once

#include <cstdint>
#include <vector>

#include "nn_filter.h"

namespace sonfeld::ape {

// The prediction of one coded channel, input sample -> residual:
// a fixed first-order filter on the channel and on its side input, an
// adaptive filter over the channel's own recent values (4 taps) and the side
// input's (5 taps, the current value included), then the level's cascade of
// NN filters. All state is reset per frame; nothing is allocated after
// construction. Used by one thread at a time.
class ChannelPredictor {
public:
    // level: 1000, 2000, 3000 or 4000.
    explicit ChannelPredictor(int level);

    void Reset();

    // input: this channel's prepared value; side: the side input for this
    // value (0 for mono and pseudo-stereo). Returns the residual to code.
    std::int32_t Compress(std::int32_t input, std::int32_t side);

private:
    std::int32_t lastInput_ = 0;
    std::int32_t lastSide_ = 0;
    std::int32_t ownHistory_[4] = {};  // stage-1 outputs at t-1 .. t-4
    std::int32_t sideHistory_[4] = {}; // side stage-1 outputs at t-1 .. t-4
    std::int32_t ownWeights_[4] = {};
    std::int32_t sideWeights_[5] = {};
    std::vector<NNFilter> filters_; // in the order the encoder applies them
};

} // namespace sonfeld::ape
