// The sample codings the passes know, by coding and container width.
#pragma once

enum class SampleCoding { None, Unsigned8, Signed16, Signed24, Signed32, Float32, Float64, ALaw, MuLaw };

// A float sample is written beyond full scale as it is: it clips only when played or converted.
constexpr bool IsFloatCoding(SampleCoding coding) {
    return coding == SampleCoding::Float32 || coding == SampleCoding::Float64;
}
