// The G.711 companding laws: 8-bit A-law and µ-law samples to 16-bit linear values and back.
#pragma once

#include <cstdint>

std::int16_t ExpandALaw(std::uint8_t code);
std::int16_t ExpandMuLaw(std::uint8_t code);

// The code of the step that holds a 16-bit linear value, as the standard encoders give it; values
// beyond the law's range take its largest code of that sign.
std::uint8_t CompressALaw(std::int32_t linear);
std::uint8_t CompressMuLaw(std::int32_t linear);
