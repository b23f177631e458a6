// The hand-written vector passes that scale samples, and the one table that chooses them by the
// processor's instruction level. A pass handles the whole groups at the start of a run; the coding
// finishes the rest by its scalar rule, whose results the passes' equal.
#pragma once

#include "core/SampleCoding.h"
#include "core/SampleTally.h"
#include "core/VectorLevel.h"

#include <cstddef>
#include <cstdint>

// Scales the samples of `coding` in whole groups at the start of a run of `count` from `in` into
// `out`, with the passes of the level in use, adds their peaks and clipped count to `tally` by the
// scalar rule's measure, and returns how many samples they hold. The stored integer results keep
// only the bits of `validBits`. A coding without passes returns 0.
std::size_t ScaleVectorGroups(SampleCoding coding, std::size_t sampleBytes, const std::uint8_t* in, std::uint8_t* out,
                              std::size_t count, double gain, std::uint32_t validBits, SampleTally& tally);
