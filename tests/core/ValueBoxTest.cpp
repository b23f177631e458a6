// The value boxes' rules that the window and the command line share: the two decimals a box shows,
// and the value it holds after being set.
#include "core/ValueBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(ValueBoxTest, TextHasTwoDecimalsAndHalfwayValuesGoToTheEvenHundredth) {
    const struct {
        float value;
        const char* shown;
    } rows[] = {
        // Exactly halfway in binary: the even neighbour, never the one away from zero.
        {0.125f, "0.12"},
        {0.375f, "0.38"},
        {10.125f, "10.12"},
        {-0.125f, "-0.12"},
        // Not halfway once stored as a float: 2.675f lies below 2.675.
        {2.675f, "2.67"},
        {-0.001f, "-0.00"},
        {1000.0f, "1000.00"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BoxText(row.value), row.shown) << row.value;
    }
}

TEST(ValueBoxTest, ValueIsClampedThenReadBackFromItsText) {
    const struct {
        float value;
        ValueRange range;
        float held;
    } rows[] = {
        {2000.0f, kPercentRange, 1000.0f}, {5.0f, kPercentRange, 10.0f},         {50.006f, kPercentRange, 50.01f},
        {10.125f, kVolumeDbRange, 10.12f}, {-200.0f, kThresholdDbRange, -96.0f}, {-5.0f, kThresholdDbRange, -12.0f},
        {50.0f, kMarginSecRange, 20.0f},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BoxValue(row.value, row.range), row.held) << row.value;
    }
    EXPECT_TRUE(std::signbit(BoxValue(-0.001f, kMarginSecRange)));
}

}  // namespace
