// The format codes of the "fmt " chunk that this program knows: the codings it processes, and the
// format that names its coding by a subformat.
#pragma once

#include <cstdint>

namespace formatcode {

constexpr std::uint16_t kIntegerPcm = 1;
constexpr std::uint16_t kIeeeFloat = 3;
constexpr std::uint16_t kALaw = 6;
constexpr std::uint16_t kMuLaw = 7;
constexpr std::uint16_t kExtensible = 0xFFFE;

}  // namespace formatcode
