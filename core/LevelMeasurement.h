// The levels of the first "data" chunk, measured in one streamed pass over its whole frames: the
// sample peak, the integrated loudness and, where asked for, the true peak.
#pragma once

#include "core/VolumeAndTrim.h"
#include "core/WaveFile.h"

#include <atomic>

// Loudness is defined for these rates; the weighting filter's shelf lies past the Nyquist frequency
// of lower ones.
constexpr std::uint32_t kLowestLoudnessRate = 8000;
constexpr std::uint32_t kHighestLoudnessRate = 384000;

struct Levels {
    // False when the file has no samples that the job processes.
    bool measured = false;
    // Linear, against the full scale the trim thresholds use.
    double samplePeak = 0.0;
    // Linear; 0 when not asked for.
    double truePeak = 0.0;
    // False at a rate outside kLowestLoudnessRate to kHighestLoudnessRate.
    bool loudnessMeasured = false;
    // -infinity when nothing passed the absolute gate.
    double loudnessLufs = 0.0;
};

// `cancelRequested` is polled between blocks.
TrimOutcome MeasureLevels(const WaveFile& wave, bool withTruePeak, const std::atomic<bool>& cancelRequested,
                          Levels& levels);

// A linear level in dB; -infinity for 0.
double DecibelsOf(double linear);
