// The K-weighting of two channels at once, one in each lane of a vector of two doubles (SSE2 on
// x86), and the sum of each channel's squares. Each lane's arithmetic is the same on every build,
// so that a file measures the same at 32 and 64 bits.
#pragma once

#include "core/KWeighting.h"

#include <cstddef>

// Two doubles that the compiler keeps in one vector register; every operation works lane by lane.
using Lanes = double __attribute__((vector_size(16)));

// The larger of each lane, as std::max takes it: a NaN in `sample` leaves `peak` as it is.
inline Lanes Larger(Lanes peak, Lanes sample) {
    return peak < sample ? sample : peak;
}

// The lanes without their sign bits.
inline Lanes Magnitudes(Lanes x) {
    using LaneBits = long long __attribute__((vector_size(16)));
    constexpr long long kAllButSign = 0x7FFFFFFFFFFFFFFF;
    return reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(x) & LaneBits{kAllButSign, kAllButSign});
}

// The filter's memory for a pair of channels. The shelf's outputs are kept divided by its b0, the
// high-pass's by its b, and so are the squares: the constant factors move out of the loop into
// SquaresScale.
struct KWeightingState {
    Lanes in1{};
    Lanes in2{};
    Lanes shelf1{};
    Lanes shelf2{};
    // The last difference of two shelf outputs: the high-pass numerator 1, -2, 1 is the difference
    // of two such differences.
    Lanes difference1{};
    Lanes pass1{};
    Lanes pass2{};
    Lanes squares{};
    // The largest magnitude of each channel's samples: the loop has them at hand.
    Lanes peak{};
};

class KWeightingLanes {
public:
    explicit KWeightingLanes(const KWeighting& filter);

    // `frames` frames of interleaved samples, `stride` doubles apart, of the channel at `samples`
    // and the one after it.
    void FilterPair(const double* samples, std::size_t stride, std::size_t frames, KWeightingState& state) const;
    // The same for the channel at `samples` alone, in the low lane; the high lane stays 0.
    void FilterOne(const double* samples, std::size_t stride, std::size_t frames, KWeightingState& state) const;

    // What the squares of a state are multiplied by to give those of the K-weighted signal.
    double SquaresScale() const { return squaresScale_; }

private:
    template <typename Load>
    void Filter(Load load, std::size_t frames, KWeightingState& state) const;

    Lanes shelfB1_;
    Lanes shelfB2_;
    Lanes shelfA1_;
    Lanes shelfA2_;
    Lanes passA1_;
    Lanes passA2_;
    double squaresScale_;
};
