// What a pass saw of the samples it scaled, in the coding's own units (an integer sample as its
// value, a G.711 code as its linear value, a float as it is): the largest magnitude before the gain
// and after it, and how many results lay beyond what the coding holds.
#pragma once

#include <algorithm>
#include <cstdint>

struct SampleTally {
    double peakIn = 0.0;
    // Of the result as clamped, before the unused low bits are cleared; of a G.711 code as written.
    double peakOut = 0.0;
    std::uint64_t clipped = 0;

    void Add(const SampleTally& other) {
        peakIn = std::max(peakIn, other.peakIn);
        peakOut = std::max(peakOut, other.peakOut);
        clipped += other.clipped;
    }
};
