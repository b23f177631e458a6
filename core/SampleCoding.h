// The sample codings the passes know, by coding and container width.
#pragma once

enum class SampleCoding { None, Unsigned8, Signed16, Signed24, Signed32, Float32, Float64, ALaw, MuLaw };
