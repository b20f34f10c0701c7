#include "nn_filter.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace sonfeld::ape {

namespace {

#if defined(__GNUC__)
#define SONFELD_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define SONFELD_ALWAYS_INLINE inline
#endif

// Moves every coefficient by -deltas[j] when direction > 0 and by +deltas[j]
// when direction < 0, then returns the dot product of the moved coefficients
// with history, wrapping at 32 bits as the format requires.
template <int N>
std::int32_t PassPortable(std::int16_t* coefficients, const std::int16_t* history,
                          const std::int16_t* deltas, std::int32_t direction)
{
    if (direction > 0)
        for (int j = 0; j < N; ++j)
            coefficients[j] = static_cast<std::int16_t>(coefficients[j] - deltas[j]);
    else if (direction < 0)
        for (int j = 0; j < N; ++j)
            coefficients[j] = static_cast<std::int16_t>(coefficients[j] + deltas[j]);
    std::uint32_t sum = 0;
    for (int j = 0; j < N; ++j)
        sum += static_cast<std::uint32_t>(coefficients[j] * history[j]);
    return static_cast<std::int32_t>(sum);
}

#if defined(__SSE2__)
// madd_epi16 wraps only where the exact pair sum is 2^31, the same value
// modulo 2^32, so the vector sums equal the portable ones.
template <int N>
SONFELD_ALWAYS_INLINE std::int32_t PassSse2(std::int16_t* coefficients, const std::int16_t* history,
                                            const std::int16_t* deltas, std::int32_t direction)
{
    // (d ^ mask) - mask is -d when mask is all ones, d when it is zero; a zero
    // direction zeroes the step instead.
    const __m128i mask = _mm_set1_epi16(static_cast<short>(direction > 0 ? -1 : 0));
    const __m128i keep = _mm_set1_epi16(static_cast<short>(direction != 0 ? -1 : 0));
    __m128i sum = _mm_setzero_si128();
    for (int j = 0; j < N; j += 8) {
        auto* wp = reinterpret_cast<__m128i*>(coefficients + j);
        const __m128i d =
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(deltas + j)), keep);
        const __m128i w =
            _mm_add_epi16(_mm_load_si128(wp), _mm_sub_epi16(_mm_xor_si128(d, mask), mask));
        _mm_store_si128(wp, w);
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + j));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(w, h));
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    return _mm_cvtsi128_si32(sum);
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONFELD_APE_HAVE_AVX2 1
template <int N>
__attribute__((target("avx2"))) inline std::int32_t
PassAvx2(std::int16_t* coefficients, const std::int16_t* history, const std::int16_t* deltas,
         std::int32_t direction)
{
    // sign_epi16(d, s) is d, -d or 0 as s is positive, negative or zero.
    const __m256i toward = _mm256_set1_epi16(static_cast<short>(-direction));
    __m256i sum = _mm256_setzero_si256();
    for (int j = 0; j < N; j += 16) {
        auto* wp = reinterpret_cast<__m256i*>(coefficients + j);
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(deltas + j));
        const __m256i w = _mm256_add_epi16(_mm256_load_si256(wp), _mm256_sign_epi16(d, toward));
        _mm256_store_si256(wp, w);
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + j));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(w, h));
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1));
    return _mm_cvtsi128_si32(half);
}

#endif

// One step of a filter: filters input, adapts, returns the residual.
template <int N, std::int32_t (*Pass)(std::int16_t*, const std::int16_t*, const std::int16_t*,
                                      std::int32_t)>
SONFELD_ALWAYS_INLINE std::int32_t Step(NNFilter::State& s, std::int32_t input)
{
    std::int16_t* const deltas = s.deltas;
    std::int16_t* const history = s.history;
    const int p = s.position;
    const std::int32_t dot =
        Pass(s.coefficients, history + p - N, deltas + p - 1 - N, s.pendingDirection);

    // The previous step's deltas decay only now: its update had to see them
    // as they were when it was decided.
    deltas[p - 2] = static_cast<std::int16_t>(deltas[p - 2] >> 1);
    deltas[p - 3] = static_cast<std::int16_t>(deltas[p - 3] >> 1);
    deltas[p - 9] = static_cast<std::int16_t>(deltas[p - 9] >> 1);

    // The rounding constant is added without wrapping, as decoders do.
    const std::int64_t round = std::int64_t{1} << (s.shift - 1);
    const auto prediction = static_cast<std::uint32_t>((dot + round) >> s.shift);
    const auto output = static_cast<std::int32_t>(static_cast<std::uint32_t>(input) - prediction);
    s.pendingDirection = (output > 0) - (output < 0);

    const std::int64_t magnitude = input < 0 ? -static_cast<std::int64_t>(input) : input;
    const std::int64_t average = s.average;
    std::int32_t step = 0;
    if (magnitude > 3 * average)
        step = 32;
    else if (magnitude > (4 * average) / 3)
        step = 16;
    else if (magnitude > 0)
        step = 8;
    s.average = average + (magnitude - average) / 16;

    const std::int32_t sign = (input > 0) - (input < 0);
    deltas[p] = static_cast<std::int16_t>(-sign * step);
    history[p] =
        static_cast<std::int16_t>(input > 32767 ? 32767 : (input < -32768 ? -32768 : input));

    if (p + 1 == N + 1 + NNFilter::kWindow) {
        std::memmove(history, history + NNFilter::kWindow, sizeof(std::int16_t) * (N + 1));
        std::memmove(deltas, deltas + NNFilter::kWindow, sizeof(std::int16_t) * (N + 1));
        s.position = N + 1;
    } else {
        s.position = p + 1;
    }
    return output;
}

// A run of values through one filter, or through two independent filters at
// once (their dependency chains then overlap). b may be null.
template <int N, std::int32_t (*Pass)(std::int16_t*, const std::int16_t*, const std::int16_t*,
                                      std::int32_t)>
SONFELD_ALWAYS_INLINE void RunBody(NNFilter::State& a, std::int32_t* va, NNFilter::State* b,
                                   std::int32_t* vb, std::uint32_t count)
{
    NNFilter::State sa = a;
    if (b == nullptr) {
        for (std::uint32_t i = 0; i < count; ++i)
            va[i] = Step<N, Pass>(sa, va[i]);
    } else {
        NNFilter::State sb = *b;
        for (std::uint32_t i = 0; i < count; ++i) {
            va[i] = Step<N, Pass>(sa, va[i]);
            vb[i] = Step<N, Pass>(sb, vb[i]);
        }
        *b = sb;
    }
    a = sa;
}

template <int N>
void RunPortable(NNFilter::State& a, std::int32_t* va, NNFilter::State* b, std::int32_t* vb,
                 std::uint32_t count)
{
    RunBody<N, PassPortable<N>>(a, va, b, vb, count);
}

#if defined(__SSE2__)
template <int N>
void RunSse2(NNFilter::State& a, std::int32_t* va, NNFilter::State* b, std::int32_t* vb,
             std::uint32_t count)
{
    RunBody<N, PassSse2<N>>(a, va, b, vb, count);
}
#endif

#if defined(SONFELD_APE_HAVE_AVX2)
template <int N>
__attribute__((target("avx2"))) void RunAvx2(NNFilter::State& a, std::int32_t* va,
                                             NNFilter::State* b, std::int32_t* vb,
                                             std::uint32_t count)
{
    RunBody<N, PassAvx2<N>>(a, va, b, vb, count);
}

#endif

template <template <int> class Pick> NNFilter::RunFunction ForOrder(int order)
{
    switch (order) {
    case 16: return Pick<16>::value;
    case 32: return Pick<32>::value;
    case 64: return Pick<64>::value;
    default: return Pick<256>::value;
    }
}

template <int N> struct PickPortable {
    static constexpr NNFilter::RunFunction value = RunPortable<N>;
};
#if defined(__SSE2__)
template <int N> struct PickSse2 {
    static constexpr NNFilter::RunFunction value = RunSse2<N>;
};
#endif
#if defined(SONFELD_APE_HAVE_AVX2)
template <int N> struct PickAvx2 {
    static constexpr NNFilter::RunFunction value = RunAvx2<N>;
};
#endif

} // namespace

NNFilter::RunFunction PortableNNRun(int order)
{
    return ForOrder<PickPortable>(order);
}

NNFilter::RunFunction ChosenNNRun(int order)
{
#if defined(SONFELD_APE_HAVE_AVX2)
    if (__builtin_cpu_supports("avx2"))
        return ForOrder<PickAvx2>(order);
#endif
#if defined(__SSE2__)
    return ForOrder<PickSse2>(order);
#else
    return ForOrder<PickPortable>(order);
#endif
}

NNFilter::NNFilter(int order, int shift) : order_(order), run_(ChosenNNRun(order))
{
    // Coefficients first, then the two windows. Each window keeps one value
    // more than the order, because the pending update reads the deltas one
    // step behind the history.
    const int windowLength = order + 1 + kWindow;
    const auto storageLength =
        static_cast<std::size_t>(order) + 2 * static_cast<std::size_t>(windowLength) + 64;
    storage_ = std::make_unique<std::int16_t[]>(storageLength);
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
    const std::size_t skip = (64 - address % 64) % 64 / sizeof(std::int16_t);
    state_.coefficients = storage_.get() + skip;
    state_.history = state_.coefficients + order;
    state_.deltas = state_.history + windowLength;
    state_.shift = shift;
    Reset();
}

void NNFilter::Reset()
{
    const auto windowLength = static_cast<std::size_t>(order_) + 1 + kWindow;
    std::memset(state_.coefficients, 0, sizeof(std::int16_t) * static_cast<std::size_t>(order_));
    std::memset(state_.history, 0, sizeof(std::int16_t) * windowLength);
    std::memset(state_.deltas, 0, sizeof(std::int16_t) * windowLength);
    state_.position = order_ + 1;
    state_.average = 0;
    state_.pendingDirection = 0;
}

void NNFilter::CompressRun(std::int32_t* values, std::uint32_t count)
{
    run_(state_, values, nullptr, nullptr, count);
}

void NNFilter::CompressRuns(NNFilter& a, std::int32_t* valuesA, NNFilter& b, std::int32_t* valuesB,
                            std::uint32_t count)
{
    a.run_(a.state_, valuesA, &b.state_, valuesB, count);
}

} // namespace sonfeld::ape
