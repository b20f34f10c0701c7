#pragma once

#include <cstdint>

namespace sonfeld::ctdb {

// CRC-32 arithmetic (zlib's polynomial, reflected): what lets one pass over
// the audio answer the CRC of any range near a remembered position.

// The operator that moves a CRC past `bytes` more bytes (x^(8*bytes) mod P).
std::uint32_t CrcShiftOperator(std::uint64_t bytes);
// Product of two reflected polynomials modulo P.
std::uint32_t CrcMultiply(std::uint32_t a, std::uint32_t b);
// The CRC of A followed by B from the CRCs of both and B's length.
std::uint32_t CrcCombine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB);
// The CRC of bytes [a, b) from the CRCs of the first a and the first b bytes.
inline std::uint32_t CrcOfRange(std::uint32_t prefixA, std::uint32_t prefixB, std::uint64_t length)
{
    return CrcCombine(prefixA, prefixB, length);
}

} // namespace sonfeld::ctdb
