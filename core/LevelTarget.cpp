// The gain that reaches a level target, and its ceiling.
#include "core/LevelTarget.h"

#include "core/ValueBox.h"

#include <cmath>

namespace {

using Kind = FileReason::Kind;

// Wide enough for any float sample that is not silence, within what a float gain can hold.
constexpr ValueRange kGainDbRange{-700.0f, 700.0f};

// Far below the two decimals a gain is rounded to, far above what the logarithms of one build may
// differ from another's by.
constexpr double kRoundingDb = 1e-9;

// The level the target is measured in, in dB or LUFS; not finite for silence.
double MeasuredLevel(const LevelTarget& target, const Levels& levels) {
    return target.kind == LevelTarget::Kind::Loudness ? levels.loudnessLufs : DecibelsOf(levels.samplePeak);
}

double CeilingPeakDb(const LevelTarget& target, const Levels& levels) {
    return DecibelsOf(target.truePeak ? levels.truePeak : levels.samplePeak);
}

FileReason LimitedNote(const LevelTarget& target, double reached) {
    FileReason note(target.kind == LevelTarget::Kind::Loudness ? Kind::LoudnessLimited : Kind::PeakLimited);
    note.level = reached;
    return note;
}

}  // namespace

TargetGain GainForTarget(const LevelTarget& target, const Levels& levels) {
    if (target.kind == LevelTarget::Kind::None || !levels.measured) {
        return {};
    }
    if (target.kind == LevelTarget::Kind::Loudness && !levels.loudnessMeasured) {
        return {1.0f, FileReason(Kind::UnchangedNoLoudness)};
    }
    const double measured = MeasuredLevel(target, levels);
    if (!std::isfinite(measured) || levels.samplePeak == 0.0) {
        return {1.0f, FileReason(Kind::UnchangedSilent)};
    }
    double gainDb = target.value - measured;
    const double roomDb = target.ceilingDb - CeilingPeakDb(target, levels);
    // A gain that the ceiling allows but for the last bits of the logarithms reaches its target.
    const bool limited = gainDb > roomDb + kRoundingDb;
    if (limited) {
        gainDb = roomDb;
    }
    const float roundedDb = BoxValue(static_cast<float>(gainDb), kGainDbRange);
    TargetGain result;
    result.gain = static_cast<float>(std::pow(10.0, roundedDb / 20.0));
    if (limited) {
        result.note = LimitedNote(target, measured + roundedDb);
    }
    return result;
}
