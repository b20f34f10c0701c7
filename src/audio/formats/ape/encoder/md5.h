#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sonfeld::ape {

// Incremental MD5 (RFC 1321). Update any number of times, then Final once.
class Md5 {
public:
    Md5() { Reset(); }
    void Reset();
    void Update(const std::uint8_t* data, std::size_t size);
    std::array<std::uint8_t, 16> Final();

private:
    void Transform(const std::uint8_t* block);

    std::array<std::uint32_t, 4> state_{};
    std::uint64_t bytes_ = 0;
    std::array<std::uint8_t, 64> pending_{};
};

} // namespace sonfeld::ape
