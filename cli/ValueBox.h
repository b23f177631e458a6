// The numbers of the command line pass through the same steps as the window's value boxes: clamped
// to the box's range, shown with two decimals, and read back from that text as a 32-bit float.
#pragma once

#include <optional>
#include <string_view>

struct ValueRange {
    float minimum;
    float maximum;
};

constexpr ValueRange kPercentRange{10.0f, 1000.0f};
constexpr ValueRange kVolumeDbRange{-20.0f, 20.0f};
constexpr ValueRange kThresholdDbRange{-96.0f, -12.0f};
constexpr ValueRange kMarginSecRange{-20.0f, 20.0f};

// A finite decimal number, written in full ("1.5", "-6", "+3", "2e1"); anything else is refused,
// where a value box would quietly read 0.
std::optional<float> ParseNumber(std::string_view text);

// The value a box holds after being set to `value`: clamped, rounded to two decimals as it is shown.
float BoxValue(float value, ValueRange range);

// The percent box's value after the dB box next to it was set to `shownDb`.
float PercentFromVolumeDb(float shownDb);

// The gain that a run takes from the percent box.
float GainFromPercent(float shownPercent);
