#pragma once

#include <cstdint>
#include <memory>

namespace sonfeld::ape {

// One sign-LMS ("neural net") prediction filter of the last prediction stage:
// order taps of 16-bit coefficients over the last order inputs (saturated to
// 16 bits), output rounded down by shift bits. This is the encoder's hot path.
//
// A filter's output depends only on its own input sequence, so a whole frame
// is filtered in one call, in place. Inside, the coefficient update a step
// decides is applied at the start of the next step, in the same SIMD pass
// that computes that step's dot product, so each step walks the arrays once;
// the result equals updating at once, because the update only ever feeds the
// next dot product.
//
// Memory is allocated once at construction. One instance belongs to one
// channel of one frame encoder (one thread).
class NNFilter {
public:
    // order: 16, 32, 64 or 256. shift: 1 to 30.
    NNFilter(int order, int shift);

    // Back to the state at the start of a frame: all zero.
    void Reset();
    // Replaces each of the count values by its residual, in order, adapting as it goes.
    void CompressRun(std::int32_t* values, std::uint32_t count);
    // CompressRun on two filters of the same order at once; their work
    // overlaps, which is faster than one after the other.
    static void CompressRuns(NNFilter& a, std::int32_t* valuesA, NNFilter& b, std::int32_t* valuesB,
                             std::uint32_t count);

    int Order() const { return order_; }

    // The filter's working state, shared with the SIMD loops.
    struct State {
        std::int16_t* coefficients; // [j] pairs with history[position - order + j]
        std::int16_t* history;
        std::int16_t* deltas;
        int position;                  // index in history/deltas where the next input goes
        std::int32_t pendingDirection; // sign of the last output: its update is still due
        std::int64_t average;
        int shift;
    };
    // Filters count values of a, and as many of b when b is not null.
    using RunFunction = void (*)(State& a, std::int32_t* valuesA, State* b, std::int32_t* valuesB,
                                 std::uint32_t count);

    // Inputs and adaptation steps are kept in windows of this many values past
    // the order, so most steps only advance an index.
    static constexpr int kWindow = 512;

private:
    int order_;
    RunFunction run_;
    State state_{};
    std::unique_ptr<std::int16_t[]> storage_;
};

// The loops NNFilter can run: plain C++ and the one chosen for this processor
// (AVX2, SSE2 or plain). They give identical results; exposed so tests can
// hold them against each other. order as for NNFilter.
NNFilter::RunFunction PortableNNRun(int order);
NNFilter::RunFunction ChosenNNRun(int order);

} // namespace sonfeld::ape
