// The sample codings the passes process: for each, its width, its silence, how its samples are
// scaled, how the loud ones are found and what they are worth.
#pragma once

#include "core/SampleCoding.h"
#include "core/SampleTally.h"
#include "core/WaveFile.h"

#include <cstddef>
#include <cstdint>

// What the plan and the writer use of a coding.
struct CodingRules {
    std::size_t bytes;
    // The byte that margins of silence are made of.
    std::uint8_t silence;
    // Whether the samples are integers, stored clamped and with only the valid bits set.
    bool integer;
    // The magnitude that is a level of 1.0 (0 dBFS), as the trim thresholds measure it.
    double fullScale;
    // Multiplies `count` samples from `in` by the gain into `out`, which may be `in` itself, and
    // adds what it saw of them to `tally`.
    void (*scale)(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t validBits,
                  SampleTally& tally);
    // The index of the first, or the last, of the `count` samples from `p` louder than
    // `threshold`, or `count` when none is.
    std::size_t (*firstLoud)(const std::uint8_t* p, std::size_t count, float threshold);
    std::size_t (*lastLoud)(const std::uint8_t* p, std::size_t count, float threshold);
    // The `count` samples from `p` as values against the full scale the thresholds use.
    void (*decode)(const std::uint8_t* p, std::size_t count, double* out);
};

// The coding of the samples, by the format's coding and its container width.
SampleCoding CodingOf(const WaveFormat& format);

// The rules of a coding; null for None.
const CodingRules* RulesOf(SampleCoding coding);

// The gain the coding's scale takes for the one asked for: for the integer codings one with the
// same results for every sample but never a NaN product.
double CodingGain(const CodingRules& rules, double gain);

// The bits a stored sample may have set: all of them, unless the format declares fewer valid
// bits than the container holds.
std::uint32_t ValidBitsMask(const WaveFormat& format, std::size_t bytes);
