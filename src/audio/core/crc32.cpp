#include "crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sonfeld {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Sixteen tables let the portable loop fold sixteen bytes per step.
struct Tables {
    std::array<std::array<std::uint32_t, 256>, 16> t{};

    constexpr Tables()
    {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) != 0 ? kPolynomial ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < t.size(); ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    }
};

constexpr Tables kTables;

std::uint32_t Load32(const std::uint8_t* p)
{
    std::uint32_t value = 0;
    std::memcpy(&value, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    value = __builtin_bswap32(value);
#endif
    return value;
}

// state is the running, non-inverted register.
std::uint32_t SliceBy16(std::uint32_t state, const std::uint8_t* data, std::size_t size)
{
    const auto& t = kTables.t;
    while (size >= 16) {
        const std::uint32_t a = Load32(data) ^ state;
        const std::uint32_t b = Load32(data + 4);
        const std::uint32_t c = Load32(data + 8);
        const std::uint32_t d = Load32(data + 12);
        state = t[15][a & 0xFFu] ^ t[14][(a >> 8) & 0xFFu] ^ t[13][(a >> 16) & 0xFFu] ^
                t[12][a >> 24] ^ t[11][b & 0xFFu] ^ t[10][(b >> 8) & 0xFFu] ^
                t[9][(b >> 16) & 0xFFu] ^ t[8][b >> 24] ^ t[7][c & 0xFFu] ^ t[6][(c >> 8) & 0xFFu] ^
                t[5][(c >> 16) & 0xFFu] ^ t[4][c >> 24] ^ t[3][d & 0xFFu] ^ t[2][(d >> 8) & 0xFFu] ^
                t[1][(d >> 16) & 0xFFu] ^ t[0][d >> 24];
        data += 16;
        size -= 16;
    }
    while (size-- > 0)
        state = (state >> 8) ^ t[0][(state ^ *data++) & 0xFFu];
    return state;
}

#if defined(__x86_64__)

__attribute__((target("sse4.1"))) __m128i Load128(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times k's two halves, the products added to next.
__attribute__((target("pclmul,sse4.1"))) __m128i FoldInto(__m128i x, __m128i k, __m128i next)
{
    const __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Folds the remaining 16-byte pieces into x1 and reduces it to the
// running state: 128 bits to 64, then to 32, then Barrett's reduction.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t Reduce(__m128i x1, const std::uint8_t* data,
                                                              std::size_t& size)
{
    const __m128i k = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    while (size >= 16) {
        x1 = FoldInto(x1, k, Load128(data));
        data += 16;
        size -= 16;
    }
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(k, x1, 0x01), _mm_srli_si128(x1, 8));
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00),
                       _mm_srli_si128(x1, 4));
    const __m128i poly = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(t, x1), 1));
}

// Folding with carry-less multiplication, four 128-bit lanes at a time; the
// constants are powers of x modulo the (bit-reflected) polynomial. Takes at
// least 64 bytes and consumes a multiple of 16; returns the running state.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t
Fold(std::uint32_t state, const std::uint8_t* data, std::size_t& size)
{
    const auto load = Load128;
    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    data += 64;
    size -= 64;
    __m128i k = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    while (size >= 64) {
        x1 = FoldInto(x1, k, load(data));
        x2 = FoldInto(x2, k, load(data + 16));
        x3 = FoldInto(x3, k, load(data + 32));
        x4 = FoldInto(x4, k, load(data + 48));
        data += 64;
        size -= 64;
    }
    k = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    x1 = FoldInto(x1, k, x2);
    x1 = FoldInto(x1, k, x3);
    x1 = FoldInto(x1, k, x4);
    return Reduce(x1, data, size);
}

__attribute__((target("avx2"))) __m256i Load256(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("vpclmulqdq,avx2"))) __m256i FoldInto(__m256i x, __m256i k, __m256i next)
{
    const __m256i low = _mm256_clmulepi64_epi128(x, k, 0x00);
    const __m256i high = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(low, high), next);
}

// The same with 256-bit lanes, where the CPU multiplies two pairs at once.
// Takes at least 128 bytes; consumes a multiple of 16.
__attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1"))) std::uint32_t
FoldWide(std::uint32_t state, const std::uint8_t* data, std::size_t& size)
{
    const auto load = Load256;
    __m256i y1 = _mm256_xor_si256(
        load(data), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(state))));
    __m256i y2 = load(data + 32);
    __m256i y3 = load(data + 64);
    __m256i y4 = load(data + 96);
    data += 128;
    size -= 128;
    __m256i k = _mm256_set_epi64x(0x14a7fe880, 0x1e88ef372, 0x14a7fe880, 0x1e88ef372);
    while (size >= 128) {
        y1 = FoldInto(y1, k, load(data));
        y2 = FoldInto(y2, k, load(data + 32));
        y3 = FoldInto(y3, k, load(data + 64));
        y4 = FoldInto(y4, k, load(data + 96));
        data += 128;
        size -= 128;
    }
    k = _mm256_set_epi64x(0x15a546366, 0x0f1da05aa, 0x15a546366, 0x0f1da05aa);
    y1 = FoldInto(y1, k, y2);
    y1 = FoldInto(y1, k, y3);
    y1 = FoldInto(y1, k, y4);
    const __m128i x1 =
        FoldInto(_mm256_castsi256_si128(y1), _mm_set_epi64x(0x0ccaa009e, 0x1751997d0),
                 _mm256_extracti128_si256(y1, 1));
    return Reduce(x1, data, size);
}

bool CanFoldWide()
{
    static const bool can = __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx2");
    return can;
}

bool CanFold()
{
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}

#endif

// Multiplication modulo the polynomial, both factors bit-reflected; a must
// not be zero.
std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t product = 0;
    for (std::uint32_t bit = 1u << 31;; bit >>= 1) {
        if ((a & bit) != 0) {
            product ^= b;
            if ((a & (bit - 1)) == 0)
                break;
        }
        b = (b & 1u) != 0 ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

// x^(2^k) modulo the polynomial, k = 0 … 31.
struct PowerTable {
    std::array<std::uint32_t, 32> p{};

    constexpr PowerTable()
    {
        p[0] = 1u << 30; // x^1
        for (std::size_t k = 1; k < p.size(); ++k) {
            std::uint32_t product = 0;
            std::uint32_t a = p[k - 1];
            std::uint32_t b = p[k - 1];
            for (std::uint32_t bit = 1u << 31;; bit >>= 1) {
                if ((a & bit) != 0) {
                    product ^= b;
                    if ((a & (bit - 1)) == 0)
                        break;
                }
                b = (b & 1u) != 0 ? (b >> 1) ^ kPolynomial : b >> 1;
            }
            p[k] = product;
        }
    }
};

constexpr PowerTable kPowers;

} // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t state = ~crc;
#if defined(__x86_64__)
    // Short runs take the narrower fold: it is as fast there, and both paths
    // get exercised on every CPU that has both.
    if (size >= 256 && CanFoldWide()) {
        const std::size_t before = size;
        state = FoldWide(state, bytes, size);
        bytes += before - size;
    }
    if (size >= 64 && CanFold()) {
        const std::size_t before = size;
        state = Fold(state, bytes, size);
        bytes += before - size;
    }
#endif
    return ~SliceBy16(state, bytes, size);
}

std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t sizeB)
{
    // crcA times x^(8 sizeB): B's bytes shifted in after A's.
    std::uint32_t shift = 1u << 31; // x^0
    std::uint64_t bits = sizeB;
    for (std::size_t k = 3; bits != 0; bits >>= 1, ++k)
        if ((bits & 1u) != 0)
            shift = MultiplyModP(kPowers.p[k & 31], shift);
    return MultiplyModP(shift, crcA) ^ crcB;
}

} // namespace sonfeld
