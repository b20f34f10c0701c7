#pragma once

#include <cstdint>

namespace sonfeld {

// Kinds of audio data a WAV file can hold. Only wtPCM and wtDVIADPCM are
// written; wtUnsupported is also the result of a header scan that failed.
enum TWavType : std::uint8_t { wtUnsupported, wtPCM, wtDVIADPCM, wtMSADPCM, wtACM };

// Format tags of the fmt chunk.
inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::uint16_t kWaveFormatMsAdpcm = 2;
inline constexpr std::uint16_t kWaveFormatDviAdpcm = 17;
inline constexpr std::uint16_t kWaveFormatMpegLayer3 = 85;

inline std::uint16_t ReadLE16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadLE32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void WriteLE16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void WriteLE32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

} // namespace sonfeld
