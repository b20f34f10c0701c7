#include "crc32.h"

#include <array>

namespace sonfeld::verify {
namespace {

constexpr std::array<std::uint32_t, 256> MakeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

} // namespace

std::uint32_t Crc32Step(std::uint32_t state, std::uint8_t byte)
{
    return kTable[(state ^ byte) & 0xFFu] ^ (state >> 8);
}

void Crc32::Update(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t state = state_;
    for (std::size_t i = 0; i < size; ++i)
        state = Crc32Step(state, data[i]);
    state_ = state;
}

} // namespace sonfeld::verify
