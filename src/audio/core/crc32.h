#pragma once

#include <cstddef>
#include <cstdint>

namespace sonfeld {

// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF). Called as zlib's crc32: crc is the CRC of the
// bytes that came before (0 for none), so a stream may be fed in pieces of
// any size. Thread-safe.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

inline std::uint32_t Crc32(const void* data, std::size_t size)
{
    return Crc32(0, data, size);
}

// The CRC of A followed by B, from the CRC of A, the CRC of B and B's length
// in bytes: whole-disc sums from per-track ones, without a second pass.
std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t sizeB);

} // namespace sonfeld
