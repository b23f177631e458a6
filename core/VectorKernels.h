// The hand-written vector passes over samples, and the one table that chooses them by the
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

// The 24-bit samples of a run of `count` that lie in whole groups of four, which the scan below
// measures.
std::size_t Grouped24(std::size_t count);

// Whether any sample of the whole groups of four at the start of the run is louder than
// `threshold`, by the 24-bit level: the magnitude over 8388607 in double, rounded to float.
bool AnyGroupOfFourLouder24(const std::uint8_t* p, std::size_t count, float threshold);

// Decodes the 16-bit samples of the whole groups of eight at the start of a run of `count` into
// values against full scale, equal to the scalar rule's, and returns how many they are.
std::size_t DecodeGroups16(const std::uint8_t* in, std::size_t count, double* out);
// The same for the 24-bit samples of the whole groups of four.
std::size_t DecodeGroups24(const std::uint8_t* in, std::size_t count, double* out);
