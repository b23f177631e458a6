// A long file is measured in four parts, two side by side on each of two threads, and the parts'
// meters are joined: its levels must be those of one meter over the whole file.
#include "core/LevelMeasurement.h"
#include "core/Loudness.h"
#include "core/TruePeak.h"
#include "core/VectorLevel.h"

#include "support/TestFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

// The float samples of a signal as the pass decodes them.
std::vector<double> Decoded(const Bytes& floats) {
    std::vector<double> samples(floats.size() / 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        float sample;
        std::memcpy(&sample, floats.data() + 4 * i, sizeof sample);
        samples[i] = sample;
    }
    return samples;
}

// The levels of one meter of each kind over the whole signal, on this thread.
Levels WholeLevels(const WaveFile& wave, const Bytes& floats) {
    const std::vector<double> samples = Decoded(floats);
    const std::size_t frames = samples.size() / wave.format.channels;
    LoudnessMeter loudness(wave.format);
    loudness.Add(samples.data(), frames);
    TruePeakMeter truePeak(wave.format.sampleRate, wave.format.channels);
    truePeak.Add(samples.data(), frames);
    Levels levels;
    levels.loudnessLufs = loudness.IntegratedLufs();
    levels.truePeak = truePeak.Peak();
    for (const double sample : samples) {
        levels.samplePeak = std::max(levels.samplePeak, std::abs(sample));
    }
    return levels;
}

Levels MeasuredLevels(const WaveFile& wave) {
    const std::atomic<bool> cancel{false};
    Levels levels;
    EXPECT_EQ(MeasureLevels(wave, true, cancel, levels), TrimOutcome::Done);
    return levels;
}

void ExpectSameLevels(const Levels& measured, const Levels& whole, const char* what) {
    EXPECT_NEAR(measured.loudnessLufs, whole.loudnessLufs, 1e-9) << what;
    EXPECT_EQ(measured.samplePeak, whole.samplePeak) << what;
    EXPECT_EQ(measured.truePeak, whole.truePeak) << what;
}

// Quiet everywhere but around each quarter, near which the parts meet: the blocks that reach
// across the joins are the loudest, and the only ones above the relative gate. The loud stretch
// before each quarter stops abruptly, so that the interpolated points just after it ring.
std::vector<SineStretch> BurstsAcrossTheQuarters(double seconds, std::size_t channels) {
    const double quarter = seconds / 4;
    std::vector<double> loud(channels, -8.0);
    loud.back() = -14.0;
    const SineStretch rising{0.3, loud, 3000.0, 45.0};
    const SineStretch falling{0.3, std::vector<double>(channels, -10.0)};
    const std::vector<double> quiet(channels, -40.0);
    return {{quarter - 0.3, quiet}, rising, falling, {quarter - 0.6, quiet}, rising, falling,
            {quarter - 0.6, quiet}, rising, falling, {quarter - 0.3, quiet}};
}

const struct SplitRow {
    const char* what;
    std::uint32_t rate;
    std::size_t channels;
    double seconds;
} kSplitRows[] = {
    {"stereo", 48000, 2, 6.0},
    // The last channel alone in its vector; steps of 1111 frames and every tenth of 1112, the
    // parts from steps 14, 29 (one of the longer) and 44.
    {"three channels at 11111 Hz", 11111, 3, 5.9},
    {"just long enough to split", 12000, 2, 4.0},
};

TEST(LevelSplitTest, PartsJoinedMeasureAsOneMeterOverTheWhole) {
    for (const SplitRow& row : kSplitRows) {
        const std::vector<SineStretch> signal = BurstsAcrossTheQuarters(row.seconds, row.channels);
        const WaveFile wave = FloatSineWave(row.rate, signal);
        ExpectSameLevels(MeasuredLevels(wave), WholeLevels(wave, FloatSines(row.rate, signal)), row.what);
    }
}

// Two parts share one loop in two-lane vectors or, with AVX, in four-lane ones: each lane's
// arithmetic is the same.
TEST(LevelSplitTest, EveryInstructionLevelMeasuresTheSameBits) {
    if (ProcessorVectorLevel() < VectorLevel::Avx2) {
        GTEST_SKIP() << "the processor has no AVX2";
    }
    for (const SplitRow& row : kSplitRows) {
        const WaveFile wave = FloatSineWave(row.rate, BurstsAcrossTheQuarters(row.seconds, row.channels));
        LimitVectorLevel(VectorLevel::Baseline);
        const Levels baseline = MeasuredLevels(wave);
        LimitVectorLevel(VectorLevel::Avx512);
        const Levels widest = MeasuredLevels(wave);
        EXPECT_EQ(widest.loudnessLufs, baseline.loudnessLufs) << row.what;
        EXPECT_EQ(widest.samplePeak, baseline.samplePeak) << row.what;
    }
}

// Parts of a step or two, each warmed up on every frame before it: blocks reach across two or three
// joins at once.
TEST(LevelSplitTest, MetersOfPartsOfAFewStepsJoinAsOne) {
    const std::uint32_t rate = 48000;
    const std::vector<SineStretch> signal = {
        {0.35, {-20.0, -26.0}}, {0.5, {-9.0, -12.0}, 3000.0}, {0.65, {-31.0, -18.0}}};
    const WaveFile wave = FloatSineWave(rate, signal);
    const std::vector<double> samples = Decoded(FloatSines(rate, signal));
    const std::size_t frames = samples.size() / 2;
    LoudnessMeter whole(wave.format);
    whole.Add(samples.data(), frames);
    // Parts of 2, 1, 1 and 3 steps, and the rest.
    const std::uint64_t firstSteps[] = {0, 2, 3, 4, 7};
    const auto startOf = [rate](std::uint64_t step) { return LoudnessMeter::StepStart(step, rate); };
    LoudnessMeter joined(wave.format);
    joined.Add(samples.data(), startOf(firstSteps[1]));
    for (std::size_t p = 1; p < std::size(firstSteps); ++p) {
        const std::uint64_t begin = startOf(firstSteps[p]);
        const std::uint64_t end = p + 1 < std::size(firstSteps) ? startOf(firstSteps[p + 1]) : frames;
        LoudnessMeter part(wave.format, firstSteps[p]);
        part.WarmUp(samples.data(), begin);
        part.Add(samples.data() + 2 * begin, end - begin);
        joined.Join(part);
    }
    EXPECT_NEAR(joined.IntegratedLufs(), whole.IntegratedLufs(), 1e-9);
}

// Each part sees the stop between its blocks, on either thread.
TEST(LevelSplitTest, AStopEndsEveryPart) {
    const WaveFile wave = FloatSineWave(48000, BurstsAcrossTheQuarters(6.0, 2));
    const std::atomic<bool> cancel{true};
    Levels levels;
    EXPECT_EQ(MeasureLevels(wave, true, cancel, levels), TrimOutcome::Cancelled);
    EXPECT_FALSE(levels.measured);
}

// The parts read the file on two threads, through the platform's file services.
TEST(LevelSplitTest, AFileOnDiskMeasuresAsTheSameSamplesInMemory) {
    const std::vector<SineStretch> signal = BurstsAcrossTheQuarters(6.0, 2);
    const Bytes floats = FloatSines(48000, signal);
    TempFolder folder;
    WriteBytes(folder / "long.wav", Riff({Fmt(3, 2, 48000, 32), Chunk("data", floats)}));
    WaveFile wave;
    ASSERT_TRUE(wave.Read(Utf16FromPath(folder / "long.wav").c_str()));
    ExpectSameLevels(MeasuredLevels(wave), WholeLevels(wave, floats), "on disk");
}

}  // namespace
