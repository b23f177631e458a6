// Loudness, sample peak and true peak against signals of known values: the weighting filter, the
// gates, the channel weights and the interpolation, each through the streamed measuring pass.
#include "core/KWeighting.h"
#include "core/LevelMeasurement.h"
#include "core/Loudness.h"

#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kSilence = -1000.0;
const double kMinusInfinity = -std::numeric_limits<double>::infinity();

Levels Measure(const WaveFile& wave, bool withTruePeak = false) {
    const std::atomic<bool> cancel{false};
    Levels levels;
    EXPECT_EQ(MeasureLevels(wave, withTruePeak, cancel, levels), TrimOutcome::Done);
    return levels;
}

double LoudnessOf(std::uint32_t rate, const std::vector<SineStretch>& stretches, std::uint32_t mask = 0) {
    return Measure(FloatSineWave(rate, stretches, mask)).loudnessLufs;
}

SineStretch Stereo(double seconds, double dbfs) {
    return {seconds, {dbfs, dbfs}};
}

TEST(KWeightingTest, MatchesThePublishedCoefficientsAt48kHz) {
    const KWeighting k = KWeightingAt(48000.0);
    const double expected[] = {
        1.53512485958697,  -2.69169618940638, 1.19839281085285, -1.69065929318241, 0.73248077421585, 1.0, -2.0, 1.0,
        -1.99004745483398, 0.99007225036621};
    const double actual[] = {k.shelf.b0,    k.shelf.b1,    k.shelf.b2,    k.shelf.a1,    k.shelf.a2,
                             k.highPass.b0, k.highPass.b1, k.highPass.b2, k.highPass.a1, k.highPass.a2};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-8) << "coefficient " << i;
    }
}

// The minimum-requirement signals of the loudness meters' test suite: stereo 1 kHz sines, the
// stretches given as seconds at dBFS. Each lasts a fifth of the suite's time: the gates keep and
// drop the same stretches.
struct LoudnessCase {
    const char* what;
    std::vector<SineStretch> stretches;
    std::uint32_t mask;
    double expectedLufs;
};

std::vector<LoudnessCase> LoudnessCases() {
    const std::vector<double> fiveChannels = {-28.0, -28.0, -24.0, -30.0, -30.0};
    return {
        {"sine at -23 dBFS", {Stereo(4, -23)}, 0, -23.0},
        {"sine at -33 dBFS", {Stereo(4, -33)}, 0, -33.0},
        // The quiet stretches fall below the relative gate.
        {"-36/-23/-36 dBFS", {Stereo(2, -36), Stereo(12, -23), Stereo(2, -36)}, 0, -23.0},
        // The quietest fall below the absolute gate as well.
        {"-72/-36/-23/-36/-72 dBFS",
         {Stereo(2, -72), Stereo(2, -36), Stereo(12, -23), Stereo(2, -36), Stereo(2, -72)},
         0,
         -23.0},
        {"-26/-20/-26 dBFS", {Stereo(4, -26), Stereo(4.02, -20), Stereo(4, -26)}, 0, -23.0},
        {"five channels by their count", {{4, fiveChannels}}, 0, -23.0},
        // Front left, front right, front centre, side left, side right.
        {"five channels by their mask", {{4, fiveChannels}}, 0x607, -23.0},
    };
}

TEST(LoudnessTest, TheReferenceSignalsMeasureWithinATenthOfAnLu) {
    for (const std::uint32_t rate : {48000u, 44100u}) {
        for (const LoudnessCase& row : LoudnessCases()) {
            EXPECT_NEAR(LoudnessOf(rate, row.stretches, row.mask), row.expectedLufs, 0.1)
                << row.what << " at " << rate << " Hz";
        }
    }
}

TEST(LoudnessTest, AToneMeasuresTheSameAtEveryRate) {
    const double reference = LoudnessOf(48000, {Stereo(2, -20)});
    for (const std::uint32_t rate : {16000u, 22050u, 32000u, 88200u, 96000u, 192000u, 384000u}) {
        EXPECT_NEAR(LoudnessOf(rate, {Stereo(2, -20)}), reference, 0.1) << rate << " Hz";
    }
    EXPECT_NEAR(LoudnessOf(8000, {Stereo(2, -20)}), reference, 0.3) << "8000 Hz";
}

TEST(LoudnessTest, NothingAboveTheAbsoluteGateIsSilence) {
    const struct {
        const char* what;
        std::vector<SineStretch> stretches;
    } rows[] = {
        {"digital silence", {Stereo(2, kSilence)}},
        {"near-silence only", {Stereo(2, -75)}},
        {"shorter than one block", {Stereo(0.35, -20)}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LoudnessOf(48000, row.stretches), kMinusInfinity) << row.what;
    }
}

TEST(LoudnessTest, ChannelsWeighByTheirMaskOrTheirCount) {
    const double s = 1.41;
    const struct {
        const char* what;
        std::uint16_t formatTag;
        std::uint16_t channels;
        std::uint32_t mask;
        std::vector<double> expected;
    } rows[] = {
        {"stereo", 1, 2, 0, {1, 1}},
        {"five in the common order", 1, 5, 0, {1, 1, 1, s, s}},
        {"six in the common order", 1, 6, 0, {1, 1, 1, 0, s, s}},
        {"four weigh alike", 1, 4, 0, {1, 1, 1, 1}},
        {"5.1 with back surrounds by mask", 0xFFFE, 6, 0x3F, {1, 1, 1, 0, s, s}},
        {"5.1 with side surrounds by mask", 0xFFFE, 6, 0x60F, {1, 1, 1, 0, s, s}},
        // Front left and right, then the centre: the mask decides, not the count.
        {"five without an effects channel by mask", 0xFFFE, 5, 0x607, {1, 1, 1, s, s}},
        {"four with an effects channel by mask", 0xFFFE, 4, 0x10B, {1, 1, 0, 1}},
        {"channels past the mask's speakers", 0xFFFE, 4, 0x18, {0, s, 1, 1}},
        {"extensible without speakers by count", 0xFFFE, 6, 0, {1, 1, 1, 0, s, s}},
    };
    for (const auto& row : rows) {
        WaveFormat format;
        format.formatTag = row.formatTag;
        format.channels = row.channels;
        format.channelMask = row.mask;
        EXPECT_EQ(ChannelWeights(format), row.expected) << row.what;
    }
}

// The true-peak signals of the meters' test suite: sines at 48 kHz whose peaks fall between
// samples, within +0.2 and -0.4 dB.
TEST(TruePeakTest, PeaksBetweenSamplesAreFound) {
    const struct {
        const char* what;
        std::uint32_t rate;
        SineStretch sine;
        double expectedDbtp;
    } rows[] = {
        {"a quarter of the rate, on the samples", 48000, {1, {-6}, 12000, 0, 0.01}, -6.0},
        {"a quarter of the rate, 45 degrees off", 48000, {1, {-6}, 12000, 45, 0.01}, -6.0},
        {"a sixth of the rate, 60 degrees off", 48000, {1, {-6}, 8000, 60, 0.01}, -6.0},
        {"an eighth of the rate, 67.5 degrees off", 48000, {1, {-6}, 6000, 67.5, 0.01}, -6.0},
        {"samples at full scale, peak above it", 48000, {1, {3.0103}, 12000, 45, 0.01}, 3.0},
        {"oversampled twice at 96 kHz", 96000, {1, {-6}, 24000, 45, 0.01}, -6.0},
    };
    for (const auto& row : rows) {
        const Levels levels = Measure(FloatSineWave(row.rate, {row.sine}), true);
        const double dbtp = DecibelsOf(levels.truePeak);
        EXPECT_LE(dbtp, row.expectedDbtp + 0.2) << row.what;
        EXPECT_GE(dbtp, row.expectedDbtp - 0.4) << row.what;
        EXPECT_LT(DecibelsOf(levels.samplePeak), dbtp + 0.01) << row.what;
    }
}

TEST(TruePeakTest, FromFourTimes44100HzTheSamplesAreThePeak) {
    const Levels levels = Measure(FloatSineWave(192000, {{1, {-6}, 48000, 45}}), true);
    EXPECT_EQ(levels.truePeak, levels.samplePeak);
    EXPECT_NEAR(DecibelsOf(levels.samplePeak), -9.0, 0.1);
}

// The pass decodes each coding against the full scale that the trim thresholds use.
TEST(LevelMeasurementTest, SamplePeakOfEveryCoding) {
    const struct {
        const char* what;
        std::uint16_t formatTag;
        std::uint16_t bits;
        Bytes samples;
        double expectedPeak;
    } rows[] = {
        {"8-bit", 1, 8, {128, 64, 160}, 0.5},
        {"16-bit, the lowest value", 1, 16, Samples(2, {100, -32768}), 1.0},
        {"24-bit", 1, 24, Samples(3, {-4194304, 1}), 4194304.0 / 8388607.0},
        {"32-bit", 1, 32, Samples(4, {1073741824, -5}), 1073741824.0 / 2147483647.0},
        {"32-bit float beyond full scale", 3, 32, FloatSamples({0.25f, -2.0f}), 2.0},
        {"64-bit float", 3, 64, DoubleSamples({0.125, -0.0625}), 0.125},
        // A-law 0x2A expands to -32256 (0xAA to +32256).
        {"A-law", 6, 8, {0xD5, 0x2A}, 32256.0 / 32768.0},
        // µ-law 0x00 expands to -32124.
        {"mu-law", 7, 8, {0xFF, 0x00}, 32124.0 / 32768.0},
    };
    for (const auto& row : rows) {
        const Levels levels = Measure(InMemoryWave(row.formatTag, 1, row.bits, 48000 * (row.bits / 8), row.samples));
        EXPECT_TRUE(levels.measured) << row.what;
        EXPECT_DOUBLE_EQ(levels.samplePeak, row.expectedPeak) << row.what;
    }
}

// The 16-bit and 24-bit samples are decoded in groups and the rest one by one, and their peak is
// taken by the loudness filter or, at a rate without loudness, by a pass of its own: a loud sample in
// any position of a run counts with its own value.
TEST(LevelMeasurementTest, SamplesDecodeInEveryPosition) {
    constexpr std::size_t kCount = 19;
    const struct {
        int bytes;
        std::int64_t loud;
        double fullScale;
    } rows[] = {
        {2, -32768, 32768.0},     {2, 32767, 32768.0},     {2, -12345, 32768.0},
        {3, -8388608, 8388607.0}, {3, 8388607, 8388607.0}, {3, -1234567, 8388607.0},
    };
    for (const auto& row : rows) {
        for (std::size_t position = 0; position < kCount; ++position) {
            Bytes samples;
            for (std::size_t i = 0; i < kCount; ++i) {
                const std::int64_t quiet = 1 - static_cast<std::int64_t>(i % 3);
                PutLe(samples, static_cast<std::uint64_t>(i == position ? row.loud : quiet), row.bytes);
            }
            const auto bits = static_cast<std::uint16_t>(8 * row.bytes);
            for (const std::uint32_t rate : {48000u, 4000u}) {
                const Levels levels = Measure(InMemoryWave(1, 1, bits, rate * row.bytes, samples));
                EXPECT_EQ(levels.samplePeak, std::abs(static_cast<double>(row.loud)) / row.fullScale)
                    << row.loud << " at " << position << ", " << rate << " Hz";
            }
        }
    }
}

TEST(LevelMeasurementTest, OnlyWholeFramesOfProcessedSamplesAreMeasured) {
    // Two stereo frames and half of a third, whose lone sample is the loudest.
    const Levels levels = Measure(InMemoryWave(1, 2, 16, 48000 * 4, Samples(2, {100, -200, 300, 400, 32000})));
    EXPECT_DOUBLE_EQ(levels.samplePeak, 400.0 / 32768.0);
    EXPECT_FALSE(Measure(InMemoryWave(2, 1, 4, 48000, {1, 2, 3})).measured);
    // Loudness is not defined below 8 kHz.
    const Levels slow = Measure(InMemoryWave(1, 1, 16, 4000 * 2, Samples(2, {1000, -1000})));
    EXPECT_TRUE(slow.measured);
    EXPECT_FALSE(slow.loudnessMeasured);
}

}  // namespace
