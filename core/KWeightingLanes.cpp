// The K-weighting loops: one pair of channels in a vector of two lanes, two parts' pairs side by
// side in two such vectors, or, where the processor has AVX, in one vector of four lanes.
#include "core/KWeightingLanes.h"

#include "core/VectorLevel.h"

#include <cstring>

namespace {

using LaneBits = long long __attribute__((vector_size(16)));
// Two parts' pairs: the first's channels in lanes 0 and 1, the second's in 2 and 3.
using Quad = double __attribute__((vector_size(32)));
using QuadBits = long long __attribute__((vector_size(32)));

// The coefficients in every lane, and the mask that clears a lane's sign bit.
template <typename Vector, typename Bits>
struct Spread {
    explicit Spread(const KWeightingLanes::Coefficients& c)
        : shelfB1(Vector{} + c.shelfB1),
          shelfB2(Vector{} + c.shelfB2),
          shelfA1(Vector{} + c.shelfA1),
          shelfA2(Vector{} + c.shelfA2),
          passA1(Vector{} + c.passA1),
          passA2(Vector{} + c.passA2),
          allButSign(Bits{} + 0x7FFFFFFFFFFFFFFFLL) {}

    Vector shelfB1;
    Vector shelfB2;
    Vector shelfA1;
    Vector shelfA2;
    Vector passA1;
    Vector passA2;
    Bits allButSign;
};

// One frame, direct form I, the same operations in the same order at every width. Each section's
// feedback is added last, so that a frame waits on the one before for a multiplication and a
// subtraction only. Always inlined, so that the four-lane loop computes it with AVX; vectors go by
// reference, since a vector of four lanes passed by value would change the calling convention
// between code with AVX and without.
template <typename Vector, typename Bits>
__attribute__((always_inline)) inline void Step(const Spread<Vector, Bits>& k, const Vector& x,
                                                KWeightingMemory<Vector>& s) {
    const Vector shelf = (((x + k.shelfB1 * s.in1) + k.shelfB2 * s.in2) - k.shelfA2 * s.shelf2) - k.shelfA1 * s.shelf1;
    const Vector difference = shelf - s.shelf1;
    const Vector pass = ((difference - s.difference1) - k.passA2 * s.pass2) - k.passA1 * s.pass1;
    s.in2 = s.in1;
    s.in1 = x;
    s.shelf2 = s.shelf1;
    s.shelf1 = shelf;
    s.difference1 = difference;
    s.pass2 = s.pass1;
    s.pass1 = pass;
    s.squares += pass * pass;
    // As Larger and Magnitudes take it: a NaN leaves the peak as it is.
    const Vector magnitude = reinterpret_cast<Vector>(reinterpret_cast<Bits>(x) & k.allButSign);
    s.peak = s.peak < magnitude ? magnitude : s.peak;
}

// Calls `each` with the same field of each memory, for every field.
template <typename Each, typename... Memory>
void ForEachField(Each each, Memory&... memory) {
    each(memory.in1...);
    each(memory.in2...);
    each(memory.shelf1...);
    each(memory.shelf2...);
    each(memory.difference1...);
    each(memory.pass1...);
    each(memory.pass2...);
    each(memory.squares...);
    each(memory.peak...);
}

// The state stays in registers for the whole run.
template <typename Load>
void FilterLanes(const KWeightingLanes::Coefficients& coefficients, Load load, std::size_t frames,
                 KWeightingState& state) {
    const Spread<Lanes, LaneBits> k(coefficients);
    KWeightingState s = state;
    for (std::size_t i = 0; i < frames; ++i) {
        Lanes x;
        load(i, x);
        Step(k, x, s);
    }
    state = s;
}

// Two parts, each in its own vectors: two chains of feedback that the processor runs side by side.
template <typename Load>
void FilterLanesSideBySide(const KWeightingLanes::Coefficients& coefficients, Load loadFirst, Load loadSecond,
                           std::size_t frames, KWeightingState& firstState, KWeightingState& secondState) {
    const Spread<Lanes, LaneBits> k(coefficients);
    KWeightingState first = firstState;
    KWeightingState second = secondState;
    for (std::size_t i = 0; i < frames; ++i) {
        Lanes x;
        Lanes y;
        loadFirst(i, x);
        loadSecond(i, y);
        Step(k, x, first);
        Step(k, y, second);
    }
    firstState = first;
    secondState = second;
}

#if defined(__SSE2__)
// Two parts in the halves of four-lane vectors: one instruction does the work of two.
template <typename Load>
__attribute__((target("avx"))) void FilterQuads(const KWeightingLanes::Coefficients& coefficients, Load loadFirst,
                                                Load loadSecond, std::size_t frames, KWeightingState& firstState,
                                                KWeightingState& secondState) {
    const Spread<Quad, QuadBits> k(coefficients);
    KWeightingMemory<Quad> s;
    ForEachField([](Quad& quad, const Lanes& first,
                    const Lanes& second) { quad = __builtin_shufflevector(first, second, 0, 1, 2, 3); },
                 s, firstState, secondState);
    for (std::size_t i = 0; i < frames; ++i) {
        Lanes x;
        Lanes y;
        loadFirst(i, x);
        loadSecond(i, y);
        const Quad xy = __builtin_shufflevector(x, y, 0, 1, 2, 3);
        Step(k, xy, s);
    }
    ForEachField(
        [](const Quad& quad, Lanes& first, Lanes& second) {
            first = __builtin_shufflevector(quad, quad, 0, 1);
            second = __builtin_shufflevector(quad, quad, 2, 3);
        },
        s, firstState, secondState);
}
#endif

// The loads of a channel pair and of a channel alone, `stride` doubles from one frame to the next.
struct PairLoad {
    const double* samples;
    std::size_t stride;

    void operator()(std::size_t i, Lanes& x) const { std::memcpy(&x, samples + i * stride, sizeof x); }
};

struct OneLoad {
    const double* samples;
    std::size_t stride;

    void operator()(std::size_t i, Lanes& x) const { x = Lanes{samples[i * stride], 0.0}; }
};

template <typename Load>
void FilterTwoParts(const KWeightingLanes::Coefficients& coefficients, Load first, Load second, std::size_t frames,
                    KWeightingState& firstState, KWeightingState& secondState) {
#if defined(__SSE2__)
    if (VectorLevelInUse() >= VectorLevel::Avx2) {
        FilterQuads(coefficients, first, second, frames, firstState, secondState);
        return;
    }
#endif
    FilterLanesSideBySide(coefficients, first, second, frames, firstState, secondState);
}

}  // namespace

KWeightingLanes::KWeightingLanes(const KWeighting& filter)
    : coefficients_{filter.shelf.b1 / filter.shelf.b0,
                    filter.shelf.b2 / filter.shelf.b0,
                    filter.shelf.a1,
                    filter.shelf.a2,
                    filter.highPass.a1,
                    filter.highPass.a2},
      squaresScale_(filter.shelf.b0 * filter.shelf.b0 * filter.highPass.b0 * filter.highPass.b0) {}

void KWeightingLanes::FilterPair(const double* samples, std::size_t stride, std::size_t frames,
                                 KWeightingState& state) const {
    FilterLanes(coefficients_, PairLoad{samples, stride}, frames, state);
}

void KWeightingLanes::FilterOne(const double* samples, std::size_t stride, std::size_t frames,
                                KWeightingState& state) const {
    FilterLanes(coefficients_, OneLoad{samples, stride}, frames, state);
}

void KWeightingLanes::FilterPairs(const double* first, const double* second, std::size_t stride, std::size_t frames,
                                  KWeightingState& firstState, KWeightingState& secondState) const {
    FilterTwoParts(coefficients_, PairLoad{first, stride}, PairLoad{second, stride}, frames, firstState, secondState);
}

void KWeightingLanes::FilterOnes(const double* first, const double* second, std::size_t stride, std::size_t frames,
                                 KWeightingState& firstState, KWeightingState& secondState) const {
    FilterTwoParts(coefficients_, OneLoad{first, stride}, OneLoad{second, stride}, frames, firstState, secondState);
}
