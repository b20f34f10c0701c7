#include "channel_predictor.h"

namespace sonfeld::ape {

namespace {

constexpr std::int32_t kInitialOwnWeights[4] = {360, 317, -109, 98};

std::int32_t Wrap32(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

std::int32_t Sign(std::int64_t v)
{
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// The first-order filter: v - floor(31 * previous / 32).
std::int32_t FirstOrder(std::int32_t v, std::int32_t previous)
{
    return Wrap32(static_cast<std::int64_t>(v) - ((31 * static_cast<std::int64_t>(previous)) >> 5));
}

} // namespace

ChannelPredictor::ChannelPredictor(int level)
{
    switch (level) {
    case 2000: filters_.emplace_back(16, 11); break;
    case 3000: filters_.emplace_back(64, 11); break;
    case 4000:
        filters_.emplace_back(256, 13);
        filters_.emplace_back(32, 10);
        break;
    default: break;
    }
    Reset();
}

void ChannelPredictor::Reset()
{
    lastInput_ = 0;
    lastSide_ = 0;
    for (int j = 0; j < 4; ++j) {
        ownHistory_[j] = 0;
        sideHistory_[j] = 0;
        ownWeights_[j] = kInitialOwnWeights[j];
    }
    for (std::int32_t& w : sideWeights_)
        w = 0;
    for (NNFilter& filter : filters_)
        filter.Reset();
}

std::int32_t ChannelPredictor::Compress(std::int32_t input, std::int32_t side)
{
    const std::int32_t alpha = FirstOrder(input, lastInput_);
    const std::int32_t beta = FirstOrder(side, lastSide_);
    lastInput_ = input;
    lastSide_ = side;

    const std::int32_t* a = ownHistory_;
    const std::int32_t* b = sideHistory_;
    // The own terms use only past values; the side terms include the current one.
    const std::int64_t own[4] = {a[0], static_cast<std::int64_t>(a[0]) - a[1],
                                 static_cast<std::int64_t>(a[1]) - a[2],
                                 static_cast<std::int64_t>(a[2]) - a[3]};
    const std::int64_t cross[5] = {
        beta, static_cast<std::int64_t>(beta) - b[0], static_cast<std::int64_t>(b[0]) - b[1],
        static_cast<std::int64_t>(b[1]) - b[2], static_cast<std::int64_t>(b[2]) - b[3]};
    std::int64_t sumOwn = 0;
    for (int j = 0; j < 4; ++j)
        sumOwn += static_cast<std::int64_t>(ownWeights_[j]) * Wrap32(own[j]);
    std::int64_t sumCross = 0;
    for (int j = 0; j < 5; ++j)
        sumCross += static_cast<std::int64_t>(sideWeights_[j]) * Wrap32(cross[j]);
    const std::int32_t prediction =
        Wrap32(static_cast<std::int64_t>(Wrap32(sumOwn)) + (Wrap32(sumCross) >> 1));
    const std::int32_t error = Wrap32(static_cast<std::int64_t>(alpha) - (prediction >> 10));

    const std::int32_t direction = Sign(error);
    if (direction != 0) {
        for (int j = 0; j < 4; ++j)
            ownWeights_[j] += direction * Sign(own[j]);
        for (int j = 0; j < 5; ++j)
            sideWeights_[j] += direction * Sign(cross[j]);
    }

    ownHistory_[3] = a[2];
    ownHistory_[2] = a[1];
    ownHistory_[1] = a[0];
    ownHistory_[0] = alpha;
    sideHistory_[3] = b[2];
    sideHistory_[2] = b[1];
    sideHistory_[1] = b[0];
    sideHistory_[0] = beta;

    std::int32_t residual = error;
    for (NNFilter& filter : filters_)
        residual = filter.Compress(residual);
    return residual;
}

} // namespace sonfeld::ape
