#pragma once

#include <cstdint>

// Fixed values of the Monkey's Audio container as this compressor writes it.
namespace sonfeld::ape {

constexpr std::uint16_t kFileVersion = 3990;
constexpr std::uint32_t kDescriptorBytes = 52;
constexpr std::uint32_t kHeaderBytes = 24;
// Format flag: no WAV header is stored; decoders synthesize one.
constexpr std::uint16_t kFlagCreateWavHeader = 32;
// Largest stored WAV header or terminating data the format allows.
constexpr std::uint32_t kMaxStoredBytes = 8u * 1024 * 1024;

constexpr bool IsSupportedLevel(int level)
{
    return level == 1000 || level == 2000 || level == 3000 || level == 4000;
}

// Blocks (one sample per channel) in every frame but the last.
constexpr std::uint32_t BlocksPerFrame(int level)
{
    return level == 4000 ? 294912u : 73728u;
}

} // namespace sonfeld::ape
