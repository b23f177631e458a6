// Clamping, two-decimal rounding, the percent/dB link and the gain of the value boxes.
#include "core/ValueBox.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// A value below the minimum becomes the minimum, then one above the maximum the maximum.
float ClampToRange(float value, ValueRange range) {
    if (value < range.minimum) {
        value = range.minimum;
    }
    if (value > range.maximum) {
        value = range.maximum;
    }
    return value;
}

}  // namespace

std::string BoxText(float value) {
    // Under mingw-w64 the C++ library selects its own printf family, which rounds as glibc's does.
    char shown[64];
    const int length = std::snprintf(shown, sizeof shown, "%.2f", static_cast<double>(value));
    return std::string(shown, static_cast<std::size_t>(length));
}

float BoxValue(float value, ValueRange range) {
    const std::string shown = BoxText(ClampToRange(value, range));
    float readBack = 0.0f;
    std::from_chars(shown.data(), shown.data() + shown.size(), readBack);
    return readBack;
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

float PercentFromVolumeDb(float shownDb) {
    return BoxValue(DecibelsToPercent(shownDb), kPercentRange);
}

float GainFromPercent(float shownPercent) {
    return static_cast<float>(shownPercent / 100.0);
}
