#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sonfeld {

// Constant bit rates of the MP3 output, in increasing order (values 0 to 17).
// The settings page shows and stores the value names ("br128"). Scoped, so the
// names cannot collide with other outputs' bit-rate enumerations.
enum class TMP3BitRate : std::uint8_t {
    br8,
    br16,
    br24,
    br32,
    br40,
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
};

inline constexpr std::array<int, 18> kMP3BitRateKbps = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                        96, 112, 128, 144, 160, 192, 224, 256, 320};

inline constexpr std::array<std::string_view, 18> kMP3BitRateNames = {
    "br8",  "br16",  "br24",  "br32",  "br40",  "br48",  "br56",  "br64",  "br80",
    "br96", "br112", "br128", "br144", "br160", "br192", "br224", "br256", "br320"};

// Kilobits per second of rate; 128 for a value outside the enumeration.
constexpr int MP3BitRateKbps(TMP3BitRate rate)
{
    const auto index = static_cast<std::size_t>(rate);
    return index < kMP3BitRateKbps.size() ? kMP3BitRateKbps[index] : 128;
}

constexpr std::string_view MP3BitRateName(TMP3BitRate rate)
{
    const auto index = static_cast<std::size_t>(rate);
    return index < kMP3BitRateNames.size() ? kMP3BitRateNames[index] : std::string_view();
}

} // namespace sonfeld
