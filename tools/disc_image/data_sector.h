#pragma once

#include <cstdint>

namespace sonfeld::disc_image {

constexpr int kSectorBytes = 2352;
constexpr int kUserDataBytes = 2048;

// Encodes one MODE1/2352 sector at logical sector lsn: sync pattern, header
// with the absolute address (lsn + 150) in BCD, the 2048 bytes of user data,
// the EDC and the P and Q parity of the error correction code.
void EncodeMode1Sector(std::int32_t lsn, const std::uint8_t* userData, std::uint8_t* sector);

// The EDC (CRC-32, polynomial 0x8001801B, bits reflected, no inversion) of count bytes.
std::uint32_t ComputeEdc(const std::uint8_t* data, int count);

} // namespace sonfeld::disc_image
