#pragma once

#include <cstddef>
#include <cstdint>

namespace sonfeld::ape {

// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF) over size bytes. Thread-safe.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

} // namespace sonfeld::ape
