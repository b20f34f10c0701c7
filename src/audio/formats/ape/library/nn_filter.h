#pragma once

#include <cstdint>
#include <memory>

namespace sonfeld::ape {

// One sign-LMS ("neural net") prediction filter of the last prediction stage:
// order taps of 16-bit coefficients over the last order inputs (saturated to
// 16 bits), output rounded down by shift bits. This is the encoder's hot path.
//
// The coefficient update a step decides is applied at the start of the next
// step, in the same SIMD pass that computes that step's dot product, so each
// step walks the arrays once. The result is the same as updating at once,
// because the update only ever feeds the next dot product.
//
// Memory is allocated once at construction; Reset and Compress allocate nothing.
// One instance belongs to one channel of one frame encoder (one thread).
class NNFilter {
public:
    // order: a multiple of 16, at least 16. shift: 1 to 30.
    NNFilter(int order, int shift);

    // Back to the state at the start of a frame: all zero.
    void Reset();
    // Filters one value and adapts; returns the residual passed on.
    std::int32_t Compress(std::int32_t input);

    int Order() const { return order_; }

    using PassFunction = std::int32_t (*)(std::int16_t* coefficients, const std::int16_t* history,
                                          const std::int16_t* deltas, int order,
                                          std::int32_t direction);

private:
    // Inputs and adaptation steps are kept in windows of this many values past
    // the order, so most steps only advance an index.
    static constexpr int kWindow = 512;

    int order_;
    int shift_;
    std::int64_t roundOffset_;
    std::int64_t average_ = 0;
    std::int32_t pendingDirection_ = 0; // sign of the last output: its update is still due
    int position_ = 0;                  // index in history_/deltas_ where the next input goes
    PassFunction pass_;
    // coefficients_[j] pairs with history_[position_ - order_ + j] (age order_ - j).
    std::unique_ptr<std::int16_t[]> storage_;
    std::int16_t* coefficients_ = nullptr;
    std::int16_t* history_ = nullptr;
    std::int16_t* deltas_ = nullptr;
};

// The filter's inner pass: the plain C++ one, and the one NNFilter uses on this
// processor (AVX2, SSE2 or plain). Both give identical results; exposed so
// tests can hold them against each other.
NNFilter::PassFunction PortableNNPass();
NNFilter::PassFunction ChosenNNPass();

} // namespace sonfeld::ape
