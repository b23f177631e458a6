// The scaling passes wider than the build's baseline, for the table that chooses a coding's passes
// by instruction level: AVX2, and AVX-512 on 64-bit builds. Each is compiled for its instructions
// alone, so it may only run where the processor has them. Like every pass it scales the whole
// groups at the start of a run, adds what it saw of them to the tally, and returns how many samples
// they hold.
#pragma once

#include "core/SampleTally.h"

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
std::size_t ScaleGroupsOfEight24(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                 std::uint32_t validBits, SampleTally& tally);
std::size_t ScaleGroupsOfSixteen16(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                   std::uint32_t validBits, SampleTally& tally);
std::size_t ScaleGroupsOfEightFloat32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                      std::uint32_t validBits, SampleTally& tally);
#if defined(__x86_64__)
std::size_t ScaleGroupsOfThirtyTwo16(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                     std::uint32_t validBits, SampleTally& tally);
#endif
#endif
