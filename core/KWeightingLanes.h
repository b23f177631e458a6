// The K-weighting of two channels at once, one in each lane of a vector of two doubles (SSE2 on
// x86), and the sum of each channel's squares; and of two such pairs of two parts of a file in one
// loop. Each lane's arithmetic is the same on every build and at every instruction level, so that a
// file measures the same at 32 and 64 bits and on every processor.
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

// The filter's memory for the channels in the lanes of `Vector`. The shelf's outputs are kept
// divided by its b0, the high-pass's by its b, and so are the squares: the constant factors move
// out of the loop into SquaresScale.
template <typename Vector>
struct KWeightingMemory {
    Vector in1{};
    Vector in2{};
    Vector shelf1{};
    Vector shelf2{};
    // The last difference of two shelf outputs: the high-pass numerator 1, -2, 1 is the difference
    // of two such differences.
    Vector difference1{};
    Vector pass1{};
    Vector pass2{};
    Vector squares{};
    // The largest magnitude of each channel's samples: the loop has them at hand.
    Vector peak{};
};

// The memory for a pair of channels.
using KWeightingState = KWeightingMemory<Lanes>;

class KWeightingLanes {
public:
    explicit KWeightingLanes(const KWeighting& filter);

    // `frames` frames of interleaved samples, `stride` doubles apart, of the channel at `samples`
    // and the one after it.
    void FilterPair(const double* samples, std::size_t stride, std::size_t frames, KWeightingState& state) const;
    // The same for the channel at `samples` alone, in the low lane; the high lane stays 0.
    void FilterOne(const double* samples, std::size_t stride, std::size_t frames, KWeightingState& state) const;

    // FilterPair of two parts at once, `frames` of each: each frame of one waits on the frame
    // before for its feedback while the other's is computed. The states come out as those of two
    // calls of FilterPair, to the bit.
    void FilterPairs(const double* first, const double* second, std::size_t stride, std::size_t frames,
                     KWeightingState& firstState, KWeightingState& secondState) const;
    // The same of FilterOne.
    void FilterOnes(const double* first, const double* second, std::size_t stride, std::size_t frames,
                    KWeightingState& firstState, KWeightingState& secondState) const;

    // What the squares of a state are multiplied by to give those of the K-weighted signal.
    double SquaresScale() const { return squaresScale_; }

    // The feedback and feed-forward coefficients that the loop keeps.
    struct Coefficients {
        double shelfB1;
        double shelfB2;
        double shelfA1;
        double shelfA2;
        double passA1;
        double passA2;
    };

private:
    Coefficients coefficients_;
    double squaresScale_;
};
