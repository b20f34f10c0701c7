#include "nn_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace sonfeld::ape {

namespace {

std::int16_t Saturate16(std::int32_t v)
{
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

// Moves every coefficient by -deltas[j] when direction > 0 and by +deltas[j]
// when direction < 0, then returns the dot product of the moved coefficients
// with history, wrapping at 32 bits as the format requires.
std::int32_t PassPortable(std::int16_t* coefficients, const std::int16_t* history,
                          const std::int16_t* deltas, int order, std::int32_t direction)
{
    if (direction > 0)
        for (int j = 0; j < order; ++j)
            coefficients[j] = static_cast<std::int16_t>(coefficients[j] - deltas[j]);
    else if (direction < 0)
        for (int j = 0; j < order; ++j)
            coefficients[j] = static_cast<std::int16_t>(coefficients[j] + deltas[j]);
    std::uint32_t sum = 0;
    for (int j = 0; j < order; ++j)
        sum += static_cast<std::uint32_t>(coefficients[j] * history[j]);
    return static_cast<std::int32_t>(sum);
}

#if defined(__SSE2__)
// madd_epi16 wraps only where the exact sum is 2^31, which is the same value
// modulo 2^32, so the vector sums equal the portable ones.
std::int32_t PassSse2(std::int16_t* coefficients, const std::int16_t* history,
                      const std::int16_t* deltas, int order, std::int32_t direction)
{
    __m128i sum = _mm_setzero_si128();
    if (direction == 0) {
        for (int j = 0; j < order; j += 8) {
            const __m128i w = _mm_load_si128(reinterpret_cast<const __m128i*>(coefficients + j));
            const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + j));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(w, h));
        }
    } else {
        // (d ^ mask) - mask is -d when mask is all ones, d when it is zero.
        const __m128i mask = _mm_set1_epi16(static_cast<short>(direction > 0 ? -1 : 0));
        for (int j = 0; j < order; j += 8) {
            auto* wp = reinterpret_cast<__m128i*>(coefficients + j);
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(deltas + j));
            const __m128i w =
                _mm_add_epi16(_mm_load_si128(wp), _mm_sub_epi16(_mm_xor_si128(d, mask), mask));
            _mm_store_si128(wp, w);
            const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + j));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(w, h));
        }
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    return _mm_cvtsi128_si32(sum);
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONFELD_APE_HAVE_AVX2 1
__attribute__((target("avx2"))) std::int32_t PassAvx2(std::int16_t* coefficients,
                                                      const std::int16_t* history,
                                                      const std::int16_t* deltas, int order,
                                                      std::int32_t direction)
{
    __m256i sum = _mm256_setzero_si256();
    const __m256i mask = _mm256_set1_epi16(static_cast<short>(direction > 0 ? -1 : 0));
    const bool adapt = direction != 0;
    for (int j = 0; j < order; j += 16) {
        auto* wp = reinterpret_cast<__m256i*>(coefficients + j);
        __m256i w = _mm256_loadu_si256(wp);
        if (adapt) {
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(deltas + j));
            w = _mm256_add_epi16(w, _mm256_sub_epi16(_mm256_xor_si256(d, mask), mask));
            _mm256_storeu_si256(wp, w);
        }
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + j));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(w, h));
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0xB1));
    return _mm_cvtsi128_si32(half);
}
#endif

} // namespace

NNFilter::PassFunction PortableNNPass()
{
    return PassPortable;
}

NNFilter::PassFunction ChosenNNPass()
{
#if defined(SONFELD_APE_HAVE_AVX2)
    if (__builtin_cpu_supports("avx2"))
        return PassAvx2;
#endif
#if defined(__SSE2__)
    return PassSse2;
#else
    return PassPortable;
#endif
}

NNFilter::NNFilter(int order, int shift)
    : order_(order), shift_(shift), roundOffset_(std::int64_t{1} << (shift - 1)),
      pass_(ChosenNNPass())
{
    // Coefficients first, then the two windows. Each window keeps one value
    // more than the order, because the pending update reads the deltas one
    // step behind the history.
    const int windowLength = order + 1 + kWindow;
    storage_ =
        std::make_unique<std::int16_t[]>(static_cast<std::size_t>(order + 2 * windowLength + 32));
    auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
    const std::size_t skip = (32 - address % 32) % 32 / sizeof(std::int16_t);
    coefficients_ = storage_.get() + skip;
    history_ = coefficients_ + order;
    deltas_ = history_ + windowLength;
    Reset();
}

void NNFilter::Reset()
{
    const auto windowLength = static_cast<std::size_t>(order_ + 1 + kWindow);
    std::memset(coefficients_, 0, sizeof(std::int16_t) * static_cast<std::size_t>(order_));
    std::memset(history_, 0, sizeof(std::int16_t) * windowLength);
    std::memset(deltas_, 0, sizeof(std::int16_t) * windowLength);
    position_ = order_ + 1;
    average_ = 0;
    pendingDirection_ = 0;
}

std::int32_t NNFilter::Compress(std::int32_t input)
{
    const int p = position_;
    const std::int32_t dot = pass_(coefficients_, history_ + p - order_, deltas_ + p - 1 - order_,
                                   order_, pendingDirection_);

    // The previous step's deltas decay only now: its update had to see them
    // as they were when it was decided.
    deltas_[p - 2] = static_cast<std::int16_t>(deltas_[p - 2] >> 1);
    deltas_[p - 3] = static_cast<std::int16_t>(deltas_[p - 3] >> 1);
    deltas_[p - 9] = static_cast<std::int16_t>(deltas_[p - 9] >> 1);

    // The rounding constant is added without wrapping, as decoders do.
    const auto prediction = static_cast<std::uint32_t>((dot + roundOffset_) >> shift_);
    const auto output = static_cast<std::int32_t>(static_cast<std::uint32_t>(input) - prediction);
    pendingDirection_ = output > 0 ? 1 : (output < 0 ? -1 : 0);

    const std::int64_t magnitude = input < 0 ? -static_cast<std::int64_t>(input) : input;
    std::int16_t step = 0;
    if (magnitude > 3 * average_)
        step = 32;
    else if (magnitude > (4 * average_) / 3)
        step = 16;
    else if (magnitude > 0)
        step = 8;
    average_ += (magnitude - average_) / 16;

    deltas_[p] = static_cast<std::int16_t>(input > 0 ? -step : (input < 0 ? step : 0));
    history_[p] = Saturate16(input);

    position_ = p + 1;
    if (position_ == order_ + 1 + kWindow) {
        const auto keep = static_cast<std::size_t>(order_ + 1);
        std::memmove(history_, history_ + kWindow, sizeof(std::int16_t) * keep);
        std::memmove(deltas_, deltas_ + kWindow, sizeof(std::int16_t) * keep);
        position_ = order_ + 1;
    }
    return output;
}

} // namespace sonfeld::ape
