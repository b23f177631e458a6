// The rules of the value boxes, which the window and the command line share: each box's range, the
// two decimals a box shows and reads back, and the links between the volume boxes and the gain.
#pragma once

#include <string>

struct ValueRange {
    float minimum;
    float maximum;
};

constexpr ValueRange kPercentRange{10.0f, 1000.0f};
constexpr ValueRange kVolumeDbRange{-20.0f, 20.0f};
constexpr ValueRange kThresholdDbRange{-96.0f, -12.0f};
constexpr ValueRange kMarginSecRange{-20.0f, 20.0f};

// The text a box shows for `value`, with two decimals; a value halfway between two hundredths
// goes to the even one, on every build.
std::string BoxText(float value);

// The value a box holds after being set to `value`: clamped, rounded to two decimals as it is shown.
float BoxValue(float value, ValueRange range);

// The volume in one unit for the other's box, unclamped and unrounded. Each step is rounded to a
// float, so both boxes show the same digits on every build.
float PercentToDecibels(float percent);
float DecibelsToPercent(float decibels);

// The percent box's value after the dB box next to it was set to `shownDb`.
float PercentFromVolumeDb(float shownDb);

// The gain that a run takes from the percent box: the one rule, for the window and the command line.
float GainFromPercent(float shownPercent);
