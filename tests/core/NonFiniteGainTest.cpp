// Gains that are not finite, at every integer width: the sample loop relies on the gain being
// made finite first, so compare each stored sample with the rule itself, worked out per sample.
#include "support/WavBuilder.h"

#include "support/InMemoryPass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Width {
    std::uint16_t bits;
    std::int64_t lowest;
    std::int64_t highest;
};

const Width kWidths[] = {{8, -128, 127}, {16, -32768, 32767}, {24, -8388608, 8388607}, {32, -2147483648LL, 2147483647}};

// The rule: the product truncated toward zero and clamped; a NaN product is silence.
std::int64_t Expected(std::int64_t sample, double gain, const Width& width) {
    const double product = static_cast<double>(sample) * gain;
    if (std::isnan(product)) {
        return 0;
    }
    return static_cast<std::int64_t>(
        std::trunc(std::clamp(product, static_cast<double>(width.lowest), static_cast<double>(width.highest))));
}

// Samples as stored: 8-bit ones are unsigned, with 128 for silence.
Bytes Stored(const std::vector<std::int64_t>& values, const Width& width) {
    Bytes out;
    for (const std::int64_t value : values) {
        PutLe(out, static_cast<std::uint64_t>(width.bits == 8 ? value + 128 : value), width.bits / 8);
    }
    return out;
}

TEST(NonFiniteGainTest, IntegerSamplesFollowTheRuleForNaNAndInfiniteGains) {
    const float gains[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max()};
    for (const Width& width : kWidths) {
        const std::vector<std::int64_t> samples = {0, 1, -1, width.highest, width.lowest, 5, 0};
        for (const float gain : gains) {
            SCOPED_TRACE(std::to_string(width.bits) + "-bit, gain " + std::to_string(gain));
            std::vector<std::int64_t> expected;
            for (const std::int64_t sample : samples) {
                expected.push_back(Expected(sample, gain, width));
            }
            WaveFile wave = InMemoryWave(1, 1, width.bits, 8000, Stored(samples, width));
            const std::atomic<bool> notCancelled{false};
            ProcessingValues values;
            values.gain = gain;
            ApplyVolumeAndTrim(wave, values, notCancelled);
            EXPECT_EQ(DataOf(*wave.chunks[0]), Stored(expected, width));
        }
    }
}

}  // namespace
