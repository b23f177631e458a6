// Clamping, two-decimal rounding and the percent/dB link of the value boxes.
#include "core/ValueBox.h"

#include "core/VolumeUnits.h"

#include <charconv>
#include <cstdio>

std::string BoxText(float value) {
    // Under mingw-w64 the C++ library selects its own printf family, which rounds as glibc's does.
    char shown[64];
    const int length = std::snprintf(shown, sizeof shown, "%.2f", static_cast<double>(value));
    return std::string(shown, static_cast<std::size_t>(length));
}

float BoxValue(float value, ValueRange range) {
    const std::string shown = BoxText(ClampToRange(value, range.minimum, range.maximum));
    float readBack = 0.0f;
    std::from_chars(shown.data(), shown.data() + shown.size(), readBack);
    return readBack;
}

float PercentFromVolumeDb(float shownDb) {
    return BoxValue(DecibelsToPercent(shownDb), kPercentRange);
}

float GainFromPercent(float shownPercent) {
    return static_cast<float>(shownPercent / 100.0);
}
