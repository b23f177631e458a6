// Sine signals generated in code for the measurement tests, stored as 32-bit float samples.
#pragma once

#include "WavBuilder.h"

#include <cstdint>
#include <vector>

// A stretch of sine in every channel: each channel's peak amplitude in dBFS (below -200: silence),
// its frequency, its phase at the stretch's first sample, and how long it takes to rise from
// silence (a step from silence would ring in an interpolating meter).
struct SineStretch {
    double seconds;
    std::vector<double> channelDbfs;
    double hertz = 1000.0;
    double phaseDegrees = 0.0;
    double fadeInSeconds = 0.0;
};

// The interleaved float samples of the stretches one after another at `sampleRate`.
Bytes FloatSines(std::uint32_t sampleRate, const std::vector<SineStretch>& stretches);

// An in-memory float wave of those samples; an extensible one when `channelMask` is not 0.
WaveFile FloatSineWave(std::uint32_t sampleRate, const std::vector<SineStretch>& stretches,
                       std::uint32_t channelMask = 0);
