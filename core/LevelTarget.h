// A level for every file to reach: its sample peak or its integrated loudness brought to a target,
// the gain held back where it would take the peak past a ceiling.
#pragma once

#include "core/FileReason.h"
#include "core/LevelMeasurement.h"
#include "core/ValueBox.h"

// The targets' ranges, and the ceiling's: a sample peak in dBFS, a loudness in LUFS, a peak in dB.
constexpr ValueRange kPeakTargetRange{-60.0f, 0.0f};
constexpr ValueRange kLoudnessTargetRange{-70.0f, -5.0f};
constexpr ValueRange kCeilingRange{-60.0f, 0.0f};
// The ceiling where none is given: full scale for the sample peak, a decibel below it for the true
// peak, which converters and encoders may still exceed.
constexpr double kSamplePeakCeilingDb = 0.0;
constexpr double kTruePeakCeilingDb = -1.0;

struct LevelTarget {
    enum class Kind { None, SamplePeak, Loudness };

    Kind kind = Kind::None;
    // dBFS for the sample peak, LUFS for the loudness.
    double value = 0.0;
    // The highest peak the gain may bring about: sample peak in dBFS, or with `truePeak` true peak
    // in dBTP.
    double ceilingDb = 0.0;
    bool truePeak = false;
};

// The gain for one file, and the note that says why it is not the one that reaches the target.
struct TargetGain {
    float gain = 1.0f;
    FileReason note;
};

// The gain in dB is rounded to two decimals, as every value of this program, and then applied as
// the volume boxes' gain is; a silent file, or one whose loudness is not measured, keeps 1.0.
TargetGain GainForTarget(const LevelTarget& target, const Levels& levels);
