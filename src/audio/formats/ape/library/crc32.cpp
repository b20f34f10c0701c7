#include "crc32.h"

#include <array>
#include <cstring>

namespace sonfeld::ape {

namespace {

// Eight tables let the loop fold eight bytes per step instead of one; the CRC
// runs over every PCM byte, so it is worth the 8 KiB.
struct Tables {
    std::array<std::array<std::uint32_t, 256>, 8> t{};

    constexpr Tables()
    {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    }
};

constexpr Tables kTables;

} // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    const auto& t = kTables.t;
    std::uint32_t crc = 0xFFFFFFFFu;
    while (size >= 8) {
        std::uint32_t lo = 0;
        std::uint32_t hi = 0;
        std::memcpy(&lo, data, 4);
        std::memcpy(&hi, data + 4, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        lo = __builtin_bswap32(lo);
        hi = __builtin_bswap32(hi);
#endif
        lo ^= crc;
        crc = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^
              t[4][lo >> 24] ^ t[3][hi & 0xFFu] ^ t[2][(hi >> 8) & 0xFFu] ^
              t[1][(hi >> 16) & 0xFFu] ^ t[0][hi >> 24];
        data += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ t[0][(crc ^ *data++) & 0xFFu];
    return crc ^ 0xFFFFFFFFu;
}

} // namespace sonfeld::ape
