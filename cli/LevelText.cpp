// Levels written from whole hundredths, so that the text is the same in every locale.
#include "cli/LevelText.h"

#include "core/LevelMeasurement.h"

#include <cmath>
#include <cstdlib>

std::string DecibelValueText(double decibels) {
    if (std::isinf(decibels)) {
        return decibels > 0 ? "inf" : "-inf";
    }
    const long long hundredths = std::llround(decibels * 100.0);
    const long long magnitude = std::llabs(hundredths);
    const std::string fraction = std::to_string(100 + magnitude % 100).substr(1);
    return (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + fraction;
}

std::string DecibelText(double level) {
    return DecibelValueText(DecibelsOf(level));
}
