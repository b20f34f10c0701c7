#include "channel_predictor.h"

namespace sonfeld::ape {

namespace {

// All arithmetic is modulo 2^32, which is exactly the format's wrapping: the
// products and sums of the adaptive filter only ever matter modulo 2^32.
inline std::int32_t Wrap(std::uint32_t v)
{
    return static_cast<std::int32_t>(v);
}
inline std::uint32_t U(std::int32_t v)
{
    return static_cast<std::uint32_t>(v);
}
inline std::int32_t Sign(std::int32_t v)
{
    return (v > 0) - (v < 0);
}

// v - floor(31 * previous / 32).
inline std::int32_t FirstOrder(std::int32_t v, std::int32_t previous)
{
    return Wrap(U(v) - U((31 * static_cast<std::int64_t>(previous)) >> 5));
}

// Stages 1 and 2 of one channel, frame-start state on construction.
struct AdaptiveStages {
    // own: alpha(t-1), then the differences of the last four alphas;
    // cross: the differences of the last betas (the current ones are added per step).
    std::int32_t own0 = 0, own1 = 0, own2 = 0, own3 = 0;
    std::int32_t cross1 = 0, cross2 = 0, cross3 = 0;
    std::int32_t wA0 = 360, wA1 = 317, wA2 = -109, wA3 = 98;
    std::int32_t wB0 = 0, wB1 = 0, wB2 = 0, wB3 = 0, wB4 = 0;
    std::int32_t lastInput = 0, lastSide = 0, lastBeta = 0;

    // HasSide false: the side input is all zero, so its taps stay zero.
    template <bool HasSide>
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    std::int32_t
    Step(std::int32_t input, std::int32_t side)
    {
        const std::int32_t alpha = FirstOrder(input, lastInput);
        lastInput = input;
        std::uint32_t prediction =
            U(wA0) * U(own0) + U(wA1) * U(own1) + U(wA2) * U(own2) + U(wA3) * U(own3);
        std::int32_t beta = 0, crossDelta = 0;
        if constexpr (HasSide) {
            beta = FirstOrder(side, lastSide);
            lastSide = side;
            crossDelta = Wrap(U(beta) - U(lastBeta));
            const std::uint32_t sideSum = U(wB0) * U(beta) + U(wB1) * U(crossDelta) +
                                          U(wB2) * U(cross1) + U(wB3) * U(cross2) +
                                          U(wB4) * U(cross3);
            prediction += U(Wrap(sideSum) >> 1);
        }
        const std::int32_t error = Wrap(U(alpha) - U(Wrap(prediction) >> 10));

        const std::int32_t direction = Sign(error);
        wA0 += direction * Sign(own0);
        wA1 += direction * Sign(own1);
        wA2 += direction * Sign(own2);
        wA3 += direction * Sign(own3);
        if constexpr (HasSide) {
            wB0 += direction * Sign(beta);
            wB1 += direction * Sign(crossDelta);
            wB2 += direction * Sign(cross1);
            wB3 += direction * Sign(cross2);
            wB4 += direction * Sign(cross3);
            cross3 = cross2;
            cross2 = cross1;
            cross1 = crossDelta;
            lastBeta = beta;
        }
        own3 = own2;
        own2 = own1;
        own1 = Wrap(U(alpha) - U(own0));
        own0 = alpha;
        return error;
    }
};

template <bool HasSide> void RunStages(const ChannelPredictor::Channel& c, std::uint32_t count)
{
    AdaptiveStages s;
    for (std::uint32_t t = 0; t < count; ++t)
        c.residuals[t] = s.Step<HasSide>(c.input[t], HasSide ? c.side[t] : 0);
}

template <bool SideA, bool SideB>
void RunStagePair(const ChannelPredictor::Channel& a, const ChannelPredictor::Channel& b,
                  std::uint32_t count)
{
    AdaptiveStages sa;
    AdaptiveStages sb;
    for (std::uint32_t t = 0; t < count; ++t) {
        a.residuals[t] = sa.Step<SideA>(a.input[t], SideA ? a.side[t] : 0);
        b.residuals[t] = sb.Step<SideB>(b.input[t], SideB ? b.side[t] : 0);
    }
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
}

void ChannelPredictor::CompressFrame(const Channel& channel, std::uint32_t count)
{
    if (channel.side != nullptr)
        RunStages<true>(channel, count);
    else
        RunStages<false>(channel, count);
    for (NNFilter& filter : filters_) {
        filter.Reset();
        filter.CompressRun(channel.residuals, count);
    }
}

void ChannelPredictor::CompressFrames(ChannelPredictor& a, const Channel& channelA,
                                      ChannelPredictor& b, const Channel& channelB,
                                      std::uint32_t count)
{
    const bool sideA = channelA.side != nullptr;
    const bool sideB = channelB.side != nullptr;
    if (sideA && sideB)
        RunStagePair<true, true>(channelA, channelB, count);
    else if (sideA)
        RunStagePair<true, false>(channelA, channelB, count);
    else if (sideB)
        RunStagePair<false, true>(channelA, channelB, count);
    else
        RunStagePair<false, false>(channelA, channelB, count);
    for (std::size_t i = 0; i < a.filters_.size() && i < b.filters_.size(); ++i) {
        a.filters_[i].Reset();
        b.filters_[i].Reset();
        NNFilter::CompressRuns(a.filters_[i], channelA.residuals, b.filters_[i], channelB.residuals,
                               count);
    }
}

} // namespace sonfeld::ape
