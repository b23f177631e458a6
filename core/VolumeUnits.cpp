// The clamp of a value box and the single-precision conversions between percent and decibels.
#include "core/VolumeUnits.h"

#include <cmath>

float ClampToRange(float value, float minimum, float maximum) {
    if (value < minimum) {
        value = minimum;
    }
    if (value > maximum) {
        value = maximum;
    }
    return value;
}

float PercentToDecibels(float percent) {
    const float ratio = percent * 0.01f;
    const float exponent = std::log10(ratio);
    return exponent * 20.0f;
}

float DecibelsToPercent(float decibels) {
    const float exponent = decibels / 20.0f;
    const float ratio = std::pow(10.0f, exponent);
    return ratio * 100.0f;
}
