#include "ctdb_crc.h"

#include <array>

namespace sonfeld::ctdb {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// x^(2^k) mod P for k = 0..31, starting from x^1.
const std::array<std::uint32_t, 32>& PowerTable()
{
    static const std::array<std::uint32_t, 32> table = [] {
        std::array<std::uint32_t, 32> t{};
        std::uint32_t p = 1u << 30; // x^1
        for (auto& entry : t) {
            entry = p;
            p = CrcMultiply(p, p);
        }
        return t;
    }();
    return table;
}

} // namespace

std::uint32_t CrcMultiply(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b & 1u) ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

std::uint32_t CrcShiftOperator(std::uint64_t bytes)
{
    std::uint32_t p = 1u << 31; // x^0
    unsigned k = 3;             // bytes are 2^3 bits
    while (bytes != 0) {
        if (bytes & 1u)
            p = CrcMultiply(PowerTable()[k & 31u], p);
        bytes >>= 1;
        ++k;
    }
    return p;
}

std::uint32_t CrcCombine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB)
{
    return CrcMultiply(CrcShiftOperator(lengthB), crcA) ^ crcB;
}

} // namespace sonfeld::ctdb
