#include "vector_state.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace sonfeld {

#if defined(__x86_64__) || defined(__i386__)

namespace {

bool HasAvx()
{
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0)
        return false;
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0)
        return false;
    // The system must save the registers' upper halves (XCR0 bits 1 and 2).
    unsigned low = 0;
    unsigned high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 0x6u) == 0x6u;
}

__attribute__((target("avx"))) void ZeroUpper()
{
    _mm256_zeroupper();
}

} // namespace

void ClearVectorState()
{
    static const bool avx = HasAvx();
    if (avx)
        ZeroUpper();
}

#else

void ClearVectorState()
{
}

#endif

} // namespace sonfeld
