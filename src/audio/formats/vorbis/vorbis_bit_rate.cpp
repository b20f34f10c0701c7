#include "vorbis_bit_rate.h"

#include <array>

namespace sonfeld {

namespace {

struct Step {
    std::string_view name;
    long bitsPerSecond;
};

constexpr std::array<Step, br499 + 1> kSteps{{
    {"brAutoSelect", -1},
    {"br45", 45000},
    {"br48", 48000},
    {"br56", 56000},
    {"br64", 64000},
    {"br80", 80000},
    {"br96", 96000},
    {"br112", 112000},
    {"br128", 128000},
    {"br144", 144000},
    {"br160", 160000},
    {"br192", 192000},
    {"br224", 224000},
    {"br256", 256000},
    {"br320", 320000},
    {"br499", 499000},
}};

} // namespace

long VorbisBitRateValue(TVorbisBitRate rate)
{
    return kSteps.at(rate).bitsPerSecond;
}

std::string_view VorbisBitRateName(TVorbisBitRate rate)
{
    return kSteps.at(rate).name;
}

std::optional<TVorbisBitRate> VorbisBitRateFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kSteps.size(); ++i)
        if (kSteps[i].name == name)
            return static_cast<TVorbisBitRate>(i);
    return std::nullopt;
}

} // namespace sonfeld
