#include "de_emphasis.h"

#include <algorithm>
#include <cmath>

namespace sonfeld {

namespace {
// y[n] = kGain * (x[n] - kZero * x[n-1]) + kPole * y[n-1]
constexpr double kZero = 0.18499;
constexpr double kPole = 0.625;
constexpr double kGain = (1.0 - kPole) / (1.0 - kZero); // unity at DC
} // namespace

void TDeEmphasis::Process(std::int16_t* samples, std::size_t frames)
{
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (std::size_t channel = 0; channel < 2; ++channel) {
            std::int16_t& sample = samples[(frame * 2) + channel];
            const double in = sample;
            const double out =
                (kGain * (in - (kZero * lastIn_.at(channel)))) + (kPole * lastOut_.at(channel));
            lastIn_.at(channel) = in;
            lastOut_.at(channel) = out;
            sample = static_cast<std::int16_t>(std::clamp(std::lround(out), -32768L, 32767L));
        }
    }
}

void TDeEmphasis::Reset()
{
    lastIn_.fill(0.0);
    lastOut_.fill(0.0);
}

} // namespace sonfeld
