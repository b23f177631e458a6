// The two-lane K-weighting loop.
#include "core/KWeightingLanes.h"

#include <cstring>

namespace {

Lanes Both(double value) {
    return Lanes{value, value};
}

}  // namespace

KWeightingLanes::KWeightingLanes(const KWeighting& filter)
    : shelfB1_(Both(filter.shelf.b1 / filter.shelf.b0)),
      shelfB2_(Both(filter.shelf.b2 / filter.shelf.b0)),
      shelfA1_(Both(filter.shelf.a1)),
      shelfA2_(Both(filter.shelf.a2)),
      passA1_(Both(filter.highPass.a1)),
      passA2_(Both(filter.highPass.a2)),
      squaresScale_(filter.shelf.b0 * filter.shelf.b0 * filter.highPass.b0 * filter.highPass.b0) {}

// Direct form I. Each section's feedback is added last, so that a frame waits on the one before for
// a multiplication and a subtraction only; the state stays in registers for the whole run.
template <typename Load>
void KWeightingLanes::Filter(Load load, std::size_t frames, KWeightingState& state) const {
    KWeightingState s = state;
    for (std::size_t i = 0; i < frames; ++i) {
        const Lanes x = load(i);
        const Lanes shelf = (((x + shelfB1_ * s.in1) + shelfB2_ * s.in2) - shelfA2_ * s.shelf2) - shelfA1_ * s.shelf1;
        const Lanes difference = shelf - s.shelf1;
        const Lanes pass = ((difference - s.difference1) - passA2_ * s.pass2) - passA1_ * s.pass1;
        s.in2 = s.in1;
        s.in1 = x;
        s.shelf2 = s.shelf1;
        s.shelf1 = shelf;
        s.difference1 = difference;
        s.pass2 = s.pass1;
        s.pass1 = pass;
        s.squares += pass * pass;
        s.peak = Larger(s.peak, Magnitudes(x));
    }
    state = s;
}

void KWeightingLanes::FilterPair(const double* samples, std::size_t stride, std::size_t frames,
                                 KWeightingState& state) const {
    Filter(
        [samples, stride](std::size_t i) {
            Lanes x;
            std::memcpy(&x, samples + i * stride, sizeof x);
            return x;
        },
        frames, state);
}

void KWeightingLanes::FilterOne(const double* samples, std::size_t stride, std::size_t frames,
                                KWeightingState& state) const {
    Filter([samples, stride](std::size_t i) { return Lanes{samples[i * stride], 0.0}; }, frames, state);
}
