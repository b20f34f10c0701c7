#pragma once

#include <cstddef>
#include <cstdint>

namespace sonfeld::verify {

// CRC-32 as zlib computes it (reflected polynomial 0xEDB88320, init and final
// XOR 0xFFFFFFFF), fed in pieces of any size.
class Crc32 {
public:
    void Update(const std::uint8_t* data, std::size_t size);
    std::uint32_t Value() const { return ~state_; }

private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

// One byte folded into a running (non-inverted) CRC state.
std::uint32_t Crc32Step(std::uint32_t state, std::uint8_t byte);

} // namespace sonfeld::verify
