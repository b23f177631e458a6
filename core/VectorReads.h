// The vector passes that only read samples: the codings decode with them and scan with them for
// loud samples. A pass handles the whole groups at the start of a run; the coding finishes the rest
// by its scalar rule, whose results the passes' equal.
#pragma once

#include <cstddef>
#include <cstdint>

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
