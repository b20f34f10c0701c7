#pragma once

#include <optional>
#include <string_view>

namespace sonfeld {

// The bit-rate steps of the Ogg Vorbis output. The value names are what the
// settings page shows and stores, so they never change; the ordinal follows
// the bit rate, which the output's setters rely on when they compare steps.
enum TVorbisBitRate {
    brAutoSelect,
    br45,
    br48,
    br56,
    br64,
    br80,
    br96,
    br112,
    br128,
    br144,
    br160,
    br192,
    br224,
    br256,
    br320,
    br499,
};

// Bits per second of a step; -1 for brAutoSelect, which stands for no value.
long VorbisBitRateValue(TVorbisBitRate rate);
// The value's name as stored by the settings page, e.g. "br128".
std::string_view VorbisBitRateName(TVorbisBitRate rate);
// The step with that exact name; nothing for an unknown name.
std::optional<TVorbisBitRate> VorbisBitRateFromName(std::string_view name);

} // namespace sonfeld
