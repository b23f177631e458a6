// Gain, clamping, level thresholds, the whole-frame cut and the margins of silence.
#include "support/InMemoryPass.h"

#include "support/WavBuilder.h"

#include "core/G711.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kALaw = 6;
constexpr std::uint16_t kMuLaw = 7;
// A threshold of 0 dB keeps its end.
constexpr float kOff = 0.0f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

TrimOutcome Apply(WaveFile& wave, const ProcessingValues& trim, bool cancelled = false) {
    const std::atomic<bool> cancel{cancelled};
    return ApplyVolumeAndTrim(wave, trim, cancel);
}

struct Row {
    const char* what;
    std::uint16_t formatTag;
    std::uint16_t bits;
    float gain;
    Bytes input;
    Bytes expected;
};

// Every coding, both signs, both bounds; truncation toward zero; products in double precision.
const Row kCodingRows[] = {
    {"8-bit clamps at both ends", kPcm, 8, 2.0f, {250, 5, 128, 129, 127}, {255, 0, 128, 130, 126}},
    {"8-bit truncates toward silence", kPcm, 8, 0.5f, {131, 125}, {129, 127}},
    {"16-bit clamps at both ends", kPcm, 16, 2.0f, Samples(2, {20000, -20000, 0}), Samples(2, {32767, -32768, 0})},
    {"16-bit truncates toward zero", kPcm, 16, 0.5f, Samples(2, {3, -3, 32767, -32768}),
     Samples(2, {1, -1, 16383, -16384})},
    // 10 x 0.7f is 6.99999988 in double; a float product would round it up to 7.
    {"16-bit product is formed in double", kPcm, 16, 0.7f, Samples(2, {10}), Samples(2, {6})},
    {"24-bit clamps at both ends", kPcm, 24, 2.0f, Samples(3, {5000000, -5000000, -1}),
     Samples(3, {8388607, -8388608, -2})},
    {"24-bit truncates toward zero", kPcm, 24, 0.5f, Samples(3, {3, -3}), Samples(3, {1, -1})},
    {"32-bit integer clamps at both ends", kPcm, 32, 2.0f, Samples(4, {2000000000, -2000000000, -7}),
     Samples(4, {2147483647, -2147483648LL, -14})},
    {"32-bit integer truncates toward zero", kPcm, 32, 0.5f, Samples(4, {3, -3}), Samples(4, {1, -1})},
    {"32-bit float is not clamped", kFloat, 32, 2.0f, FloatSamples({0.8f, -0.25f}), FloatSamples({1.6f, -0.5f})},
    {"64-bit float is not clamped", kFloat, 64, 2.0f, DoubleSamples({0.8, -0.25, 1e300}),
     DoubleSamples({1.6, -0.5, 2e300})},
    {"64-bit float product is kept in double", kFloat, 64, 0.7f, DoubleSamples({0.1}),
     DoubleSamples({0.1 * static_cast<double>(0.7f)})},
    // +8 doubled is 16, which A-law stores as +24; the extremes clamp to themselves.
    {"A-law scales its linear values", kALaw, 8, 2.0f, {0xD5, 0xAA, 0x2A}, {0xD4, 0xAA, 0x2A}},
    {"A-law truncates toward zero", kALaw, 8, 0.5f, {0xD4, 0x54}, {0xD5, 0x55}},
    // µ-law's negative zero, 0x7F, scales to zero and keeps its own code.
    {"µ-law scales its linear values", kMuLaw, 8, 2.0f, {0xFF, 0x7F, 0xFE}, {0xFF, 0x7F, 0xFD}},
    {"A-law of 16 bits is left alone", kALaw, 16, 2.0f, Samples(2, {100}), Samples(2, {100})},
    {"NaN gain stores integer silence", kPcm, 16, kNaN, Samples(2, {100, -100}), Samples(2, {0, 0})},
    {"NaN gain stores 8-bit silence", kPcm, 8, kNaN, {7, 250}, {128, 128}},
    {"infinite gain clamps, and keeps silence silent", kPcm, 24, kInfinity, Samples(3, {1, -1, 0}),
     Samples(3, {8388607, -8388608, 0})},
    {"float of 16 bits is left alone", kFloat, 16, 2.0f, Samples(2, {100}), Samples(2, {100})},
    {"float of 24 bits is left alone", kFloat, 24, 2.0f, Samples(3, {100}), Samples(3, {100})},
    {"float of 8 bits is left alone", kFloat, 8, 2.0f, {100}, {100}},
    {"12-bit is left alone", kPcm, 12, 2.0f, Samples(2, {100}), Samples(2, {100})},
    {"64-bit integer is left alone", kPcm, 64, 2.0f, Samples(4, {100, 0}), Samples(4, {100, 0})},
    {"no format at all is left alone", 0, 0, 2.0f, Samples(2, {100}), Samples(2, {100})},
};

TEST(VolumeAndTrimTest, CodingsScaleClampAndTruncate) {
    for (const Row& row : kCodingRows) {
        WaveFile wave = InMemoryWave(row.formatTag, 1, row.bits, 8000, row.input);
        ProcessingValues trim;
        trim.gain = row.gain;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done) << row.what;
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.what;
    }
}

TEST(VolumeAndTrimTest, CompandedCodesAreKeptAtFullVolume) {
    Bytes everyCode;
    for (int code = 0; code < 256; ++code) {
        everyCode.push_back(static_cast<std::uint8_t>(code));
    }
    for (const std::uint16_t law : {kALaw, kMuLaw}) {
        WaveFile wave = InMemoryWave(law, 1, 8, 8000, everyCode);
        Apply(wave, ProcessingValues{});
        EXPECT_EQ(DataOf(*wave.chunks[0]), everyCode) << law;
    }
}

TEST(VolumeAndTrimTest, ExtensibleSamplesScaleInTheirContainerAndKeepUnusedBitsClear) {
    const struct {
        const char* what;
        std::uint16_t subformat;
        std::uint16_t bits;
        std::uint16_t validBits;
        float gain;
        Bytes input;
        Bytes expected;
    } rows[] = {
        {"16 of 16 bits", kPcm, 16, 16, 2.0f, Samples(2, {20000, -3}), Samples(2, {32767, -6})},
        {"24 of 24 bits", kPcm, 24, 24, 0.5f, Samples(3, {3, -3}), Samples(3, {1, -1})},
        {"32 of 32 bits", kPcm, 32, 32, 2.0f, Samples(4, {2000000000, -7}), Samples(4, {2147483647, -14})},
        {"no valid bits given", kPcm, 24, 0, 0.5f, Samples(3, {3, -3}), Samples(3, {1, -1})},
        // The low four bits are cleared: -8 becomes -16, 24 becomes 16.
        {"20 of 24 bits", kPcm, 24, 20, 0.5f, Samples(3, {1048576, -16, 48}), Samples(3, {524288, -16, 16})},
        {"20 of 24 bits at the clamp", kPcm, 24, 20, 2.0f, Samples(3, {8388592, -8388608}),
         Samples(3, {8388592, -8388608})},
        {"12 of 16 bits", kPcm, 16, 12, 0.5f, Samples(2, {80, -80}), Samples(2, {32, -48})},
        {"24 of 32 bits", kPcm, 32, 24, 0.5f, Samples(4, {768, -768}), Samples(4, {256, -512})},
        {"float", kFloat, 32, 32, 2.0f, FloatSamples({0.8f, -0.25f}), FloatSamples({1.6f, -0.5f})},
        {"float with fewer valid bits is not masked", kFloat, 32, 24, 2.0f, FloatSamples({0.8f}), FloatSamples({1.6f})},
        {"64-bit float", kFloat, 64, 64, 2.0f, DoubleSamples({0.8}), DoubleSamples({1.6})},
        {"20 of 20 bits is left alone", kPcm, 20, 20, 2.0f, Samples(3, {100}), Samples(3, {100})},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(0xFFFE, 1, row.bits, 8000, row.input);
        wave.format.subformatCode = row.subformat;
        wave.format.validBitsPerSample = row.validBits;
        ProcessingValues trim;
        trim.gain = row.gain;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done) << row.what;
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.what;
    }
}

TEST(VolumeAndTrimTest, CompandedMarginsAreTheCodingsZero) {
    const struct {
        std::uint16_t law;
        Bytes input;
        Bytes expected;
    } rows[] = {
        // A-law has no code for zero: 0xD5 is +8, quieter than the threshold.
        {kALaw, {0xD5, 0xAA, 0xD5}, {0xD5, 0xD5, 0xAA, 0xD5, 0xD5}},
        {kMuLaw, {0xFF, 0x80, 0x7F}, {0xFF, 0xFF, 0x80, 0xFF, 0xFF}},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(row.law, 1, 8, 2, row.input);
        wave.format.sampleRate = 2;
        ProcessingValues trim;
        trim.head.thresholdDb = trim.tail.thresholdDb = -60.0f;
        trim.head.marginSec = trim.tail.marginSec = 1.0f;
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.law;
    }
}

TEST(VolumeAndTrimTest, ZeroChannelsNeverReachADivision) {
    WaveFile wave = InMemoryWave(kPcm, 0, 16, 0, Samples(2, {0, 100, 0}));
    ProcessingValues trim;
    trim.head.thresholdDb = trim.tail.thresholdDb = -40.0f;
    EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done);
    EXPECT_EQ(wave.chunks[0]->size, 6u);
}

TEST(VolumeAndTrimTest, ThresholdsFromDecibels) {
    EXPECT_EQ(LinearFromDb(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(LinearFromDb(-40.0f), 0.01f);
    EXPECT_NEAR(LinearFromDb(-96.0f), 0.0000158489, 1e-10);
    // At -96 dB the smallest 16-bit level is loud, and 24-bit magnitudes up to 132 are silent.
    const Row rows[] = {
        {"16-bit", kPcm, 16, 1.0f, Samples(2, {0, 0, 1, -1, 0}), Samples(2, {1, -1})},
        {"24-bit", kPcm, 24, 1.0f, Samples(3, {-132, 133, 132, -133, 132}), Samples(3, {133, 132, -133})},
    };
    for (const Row& row : rows) {
        WaveFile wave = InMemoryWave(row.formatTag, 1, row.bits, 8000, row.input);
        ProcessingValues trim;
        trim.head.thresholdDb = trim.tail.thresholdDb = -96.0f;
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.what;
    }
}

TEST(VolumeAndTrimTest, WorkedExampleAtMinus40Db) {
    const Bytes samples = Samples(2, {0, 10, 500, 600, 5, 0});
    ProcessingValues trim;
    trim.head.thresholdDb = trim.tail.thresholdDb = -40.0f;

    WaveFile plain = InMemoryWave(kPcm, 1, 16, 16000, samples);
    Apply(plain, trim);
    EXPECT_EQ(DataOf(*plain.chunks[0]), Samples(2, {500, 600}));

    WaveFile withMargin = InMemoryWave(kPcm, 1, 16, 16000, samples);
    trim.head.marginSec = 1.0f;
    Apply(withMargin, trim);
    const Bytes data = DataOf(*withMargin.chunks[0]);
    ASSERT_EQ(data.size(), 16004u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 16000), Bytes(16000, 0));
    EXPECT_EQ(Bytes(data.begin() + 16000, data.end()), Samples(2, {500, 600}));
}

TEST(VolumeAndTrimTest, CutKeepsWholeStereoFrames) {
    // Frame 10's right sample is the first loud one, frame 12's left sample the last.
    Bytes samples(2 * 2 * 15, 0);
    samples[2 * 21] = 100;
    samples[2 * 24] = 100;
    WaveFile wave = InMemoryWave(kPcm, 2, 16, 32000, samples);
    ProcessingValues trim;
    trim.head.thresholdDb = trim.tail.thresholdDb = -60.0f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), Samples(2, {0, 100, 0, 0, 100, 0}));
}

TEST(VolumeAndTrimTest, EndsAreKeptWhenNothingIsLouderThanTheirThreshold) {
    const struct {
        const char* what;
        Bytes input;
        float headDb;
        float tailDb;
    } rows[] = {
        {"all silent", Samples(2, {0, 0, 0}), -40.0f, -40.0f},
        {"level equals the threshold", FloatSamples({LinearFromDb(-6.0f), LinearFromDb(-6.0f)}), -6.0f, -6.0f},
        {"thresholds of 0 dB", Samples(2, {0, 1000, 0}), 0.0f, 0.0f},
        {"NaN samples are never loud", FloatSamples({kNaN, kNaN}), -40.0f, -40.0f},
        {"NaN thresholds", Samples(2, {0, 1000, 0}), kNaN, kNaN},
    };
    for (const auto& row : rows) {
        const std::uint16_t tag = row.input.size() % 4 == 0 ? kFloat : kPcm;
        WaveFile wave = InMemoryWave(tag, 1, tag == kFloat ? 32 : 16, 8000, row.input);
        ProcessingValues trim;
        trim.head.thresholdDb = row.headDb;
        trim.tail.thresholdDb = row.tailDb;
        trim.head.marginSec = trim.tail.marginSec = 1.0f;
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.input) << row.what;
    }
}

TEST(VolumeAndTrimTest, EachEndHasItsOwnThreshold) {
    // Floats may exceed 1.0, which still does not trim an end whose threshold is 1.0.
    WaveFile wave = InMemoryWave(kFloat, 1, 32, 32000, FloatSamples({0.0f, 2.0f, 0.1f, 0.0f, 0.0f}));
    ProcessingValues trim;
    trim.head.thresholdDb = -26.0f;
    trim.tail.thresholdDb = kOff;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), FloatSamples({2.0f, 0.1f, 0.0f, 0.0f}));
    trim.head.thresholdDb = kOff;
    trim.tail.thresholdDb = -6.0f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), FloatSamples({2.0f}));
}

TEST(VolumeAndTrimTest, MarginsAreWholeFramesOfTheCodingsSilence) {
    const struct {
        const char* what;
        std::uint16_t bits;
        std::uint16_t channels;
        std::uint32_t byteRate;
        float headMarginSec;
        float tailMarginSec;
        Bytes input;
        Bytes expected;
    } rows[] = {
        {"8-bit silence is 128", 8, 1, 4, 0.5f, 1.0f, {128, 200, 128}, {128, 128, 200, 128, 128, 128, 128}},
        // 10 bytes per second of 4-byte frames: 2.5 frames, cut down to 2.
        {"stereo 16-bit", 16, 2, 10, 1.0f, 0.0f, Samples(2, {0, 0, 7, -7, 0, 0}), Samples(2, {0, 0, 0, 0, 7, -7})},
        {"negative margins add nothing", 16, 1, 2000, -1.0f, -20.0f, Samples(2, {0, 9, 0}), Samples(2, {9})},
        {"NaN margins add nothing", 16, 1, 2000, kNaN, kNaN, Samples(2, {0, 9, 0}), Samples(2, {9})},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(kPcm, row.channels, row.bits, row.byteRate, row.input);
        ProcessingValues trim;
        trim.head.thresholdDb = trim.tail.thresholdDb = -80.0f;
        trim.head.marginSec = row.headMarginSec;
        trim.tail.marginSec = row.tailMarginSec;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done) << row.what;
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.what;
    }
}

TEST(VolumeAndTrimTest, MarginsFollowTheSampleRateWhenTheByteRateDisagrees) {
    const struct {
        const char* what;
        std::uint32_t byteRate;
        std::size_t expectedSize;
    } rows[] = {
        // 4 frames a second of 2-byte frames, 2 s on each side: 16 frames of silence and the one
        // kept sample.
        {"agreeing rates", 8, 2 * 16 + 2},
        {"a crafted byte rate", 0xFFFFFFFF, 2 * 16 + 2},
        {"no byte rate", 0, 2 * 16 + 2},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(kPcm, 1, 16, 8, Samples(2, {0, 9, 0}));
        wave.format.byteRate = row.byteRate;
        ProcessingValues trim;
        trim.head.thresholdDb = trim.tail.thresholdDb = -80.0f;
        trim.head.marginSec = trim.tail.marginSec = 2.0f;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done) << row.what;
        EXPECT_EQ(wave.chunks[0]->size, row.expectedSize) << row.what;
    }
}

TEST(VolumeAndTrimTest, PartialFramesAreNeverCutInto) {
    // Stereo 16-bit: two whole frames, then one lone sample and one stray byte.
    const Bytes loud = Concat({Samples(2, {50, 50, 60, 60, 70}), {9}});
    WaveFile untouched = InMemoryWave(kPcm, 2, 16, 32000, loud);
    ProcessingValues trim;
    trim.head.thresholdDb = trim.tail.thresholdDb = -60.0f;
    trim.head.marginSec = trim.tail.marginSec = 1.0f;
    Apply(untouched, trim);
    EXPECT_EQ(DataOf(*untouched.chunks[0]), loud);

    const Bytes quietStart = Concat({Samples(2, {0, 0, 60, 60, 70}), {9}});
    WaveFile cut = InMemoryWave(kPcm, 2, 16, 32000, quietStart);
    trim.head.marginSec = trim.tail.marginSec = 0.0f;
    Apply(cut, trim);
    EXPECT_EQ(DataOf(*cut.chunks[0]), Samples(2, {60, 60}));

    // Only the lone sample is loud: it is not part of a frame, so nothing is cut.
    const Bytes quietFrames = Samples(2, {0, 0, 0, 0, 70});
    WaveFile kept = InMemoryWave(kPcm, 2, 16, 32000, quietFrames);
    Apply(kept, trim);
    EXPECT_EQ(DataOf(*kept.chunks[0]), quietFrames);
}

TEST(VolumeAndTrimTest, MarginsMakeTheResultShorterOrLongerThanTheInput) {
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 2, Samples(2, {0, 0, 5, 0}));
    ProcessingValues trim;
    trim.head.thresholdDb = trim.tail.thresholdDb = -80.0f;
    trim.head.marginSec = 1.0f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), Samples(2, {0, 5}));

    trim.head.marginSec = 0.0f;
    trim.tail.marginSec = 1000.0f;
    wave.chunks[0]->size = 4;
    std::memcpy(wave.chunks[0]->data.Data(), Samples(2, {0, 5}).data(), 4);
    Apply(wave, trim);
    const Bytes data = DataOf(*wave.chunks[0]);
    ASSERT_EQ(data.size(), 2002u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 2), Samples(2, {5}));
    EXPECT_EQ(Bytes(data.begin() + 2, data.end()), Bytes(2000, 0));
}

TEST(VolumeAndTrimTest, MarginsBeyond32BitsFail) {
    for (const float margin : {kInfinity, 3.0e9f, 1.1e9f}) {
        WaveFile wave = InMemoryWave(kPcm, 1, 16, 4, Samples(2, {0, 5}));
        ProcessingValues trim;
        trim.head.thresholdDb = trim.tail.thresholdDb = -80.0f;
        trim.tail.marginSec = margin;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Failed) << margin;
    }
    // Exactly 2^32 frames (2 frames a second for 2^31 s) fail also where the form could hold them.
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 4, Samples(2, {0, 5}));
    wave.form = RiffForm::Rf64;
    ProcessingValues trim;
    trim.head.thresholdDb = -80.0f;
    trim.head.marginSec = 2147483648.0f;
    const std::atomic<bool> cancel{false};
    AudioPlan plan;
    EXPECT_EQ(PlanVolumeAndTrim(wave, trim, cancel, plan), TrimOutcome::Failed);
}

TEST(VolumeAndTrimTest, EveryBlockIsProcessedAndACancelStopsThePass) {
    const std::size_t count = 3 * 4096 + 5;
    Bytes samples;
    for (std::size_t i = 0; i < count; ++i) {
        PutLe(samples, 1 + i % 1000, 2);
    }
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 2, samples);
    ProcessingValues trim;
    trim.gain = 2.0f;
    ASSERT_EQ(Apply(wave, trim), TrimOutcome::Done);
    const Bytes data = DataOf(*wave.chunks[0]);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(data[2 * i] | data[2 * i + 1] << 8, 2 * (1 + i % 1000)) << i;
    }
    EXPECT_EQ(Apply(wave, trim, true), TrimOutcome::Cancelled);
}

TEST(VolumeAndTrimTest, OnlyTheFirstDataChunkIsProcessed) {
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 2, Samples(2, {100}));
    auto second = std::make_shared<ChunkInfo>();
    std::memcpy(second->id, "data", 4);
    second->size = 2;
    ASSERT_TRUE(second->data.Allocate(2));
    std::memcpy(second->data.Data(), Samples(2, {100}).data(), 2);
    wave.chunks.insert(wave.chunks.begin(), std::make_shared<ChunkInfo>());
    std::memcpy(wave.chunks[0]->id, "DATA", 4);
    wave.chunks.push_back(second);
    ProcessingValues trim;
    trim.gain = 3.0f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[1]), Samples(2, {300}));
    EXPECT_EQ(DataOf(*wave.chunks[2]), Samples(2, {100}));
}

// The 256 codes of an 8-bit coding, after `first`.
std::vector<double> EveryCodeAfter(std::vector<double> first) {
    for (int code = 0; code < 256; ++code) {
        first.push_back(code);
    }
    return first;
}

// The gain rule for integer samples, written out plainly: the product in double, silence when it
// is not a number, the coding's bound when it reaches one, otherwise truncated toward zero.
std::int64_t ScaledInteger(std::int64_t value, float gain, std::int64_t lowest, std::int64_t highest) {
    const double product = static_cast<double>(value) * static_cast<double>(gain);
    if (std::isnan(product)) {
        return 0;
    }
    if (product <= static_cast<double>(lowest)) {
        return lowest;
    }
    if (product >= static_cast<double>(highest)) {
        return highest;
    }
    return static_cast<std::int64_t>(std::trunc(product));
}

// Whether an integer product truncates to a value beyond the coding's bounds, written out plainly.
bool ClipsInteger(std::int64_t value, float gain, std::int64_t lowest, std::int64_t highest) {
    const double product = static_cast<double>(value) * static_cast<double>(gain);
    return !std::isnan(product) &&
           (std::trunc(product) < static_cast<double>(lowest) || std::trunc(product) > static_cast<double>(highest));
}

// One stored sample of a pass's input, and the sample the rule makes of it, in the file's bytes;
// with what the tally counts of it: the magnitudes before and after, and whether it clipped.
struct Coded {
    Bytes input;
    Bytes expected;
    double inMagnitude;
    double outMagnitude;
    bool clips;
};

// The tally the rule gives for the samples so far, a NaN magnitude passed over.
void AddToTally(SampleTally& tally, const Coded& coded) {
    if (coded.inMagnitude > tally.peakIn) {
        tally.peakIn = coded.inMagnitude;
    }
    if (coded.outMagnitude > tally.peakOut) {
        tally.peakOut = coded.outMagnitude;
    }
    tally.clipped += coded.clips ? 1 : 0;
}

Coded CodeSample(std::uint16_t formatTag, std::uint16_t bits, std::uint16_t validBits, double value, float gain) {
    const int bytes = bits / 8;
    if (formatTag == kFloat && bits == 32) {
        const auto sample = static_cast<float>(value);
        const auto result = static_cast<float>(sample * static_cast<double>(gain));
        return {FloatSamples({sample}), FloatSamples({result}), std::abs(sample), std::abs(result),
                std::abs(result) > 1.0f};
    }
    if (formatTag == kFloat) {
        const double result = value * static_cast<double>(gain);
        return {DoubleSamples({value}), DoubleSamples({result}), std::abs(value), std::abs(result),
                std::abs(result) > 1.0};
    }
    const auto integer = static_cast<std::int64_t>(value);
    if (formatTag == kALaw || formatTag == kMuLaw) {
        const auto code = static_cast<std::uint8_t>(integer);
        const std::int16_t original = formatTag == kALaw ? ExpandALaw(code) : ExpandMuLaw(code);
        const std::int64_t scaled = ScaledInteger(original, gain, -32768, 32767);
        const auto linear = static_cast<std::int32_t>(scaled);
        const std::uint8_t result = scaled == original   ? code
                                    : formatTag == kALaw ? CompressALaw(linear)
                                                         : CompressMuLaw(linear);
        const std::int16_t written = formatTag == kALaw ? ExpandALaw(result) : ExpandMuLaw(result);
        return {{code},
                {result},
                std::abs(static_cast<double>(original)),
                std::abs(static_cast<double>(written)),
                ClipsInteger(original, gain, -32768, 32767)};
    }
    const std::int64_t highest = (std::int64_t{1} << (bits - 1)) - 1;
    const std::int64_t offset = bits == 8 ? 128 : 0;
    const std::int64_t unused = validBits == 0 ? 0 : (std::int64_t{1} << (bits - validBits)) - 1;
    const std::int64_t scaled = ScaledInteger(integer, gain, -highest - 1, highest);
    Bytes input;
    Bytes expected;
    PutLe(input, static_cast<std::uint64_t>(integer + offset), bytes);
    PutLe(expected, static_cast<std::uint64_t>((scaled + offset) & ~unused), bytes);
    return {input, expected, std::abs(static_cast<double>(integer)), std::abs(static_cast<double>(scaled)),
            ClipsInteger(integer, gain, -highest - 1, highest)};
}

// Every coding's pass against the rule, sample by sample, on runs long enough for the vector body,
// the block boundary and each possible tail; each value visits every position of a vector group.
// Each instruction level the processor has is held to the rule, in the samples it writes and in
// what it tallies of them: the peaks and the clipped count.
TEST(VolumeAndTrimTest, EveryPassFollowsTheScalarRuleInEveryPosition) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> everyCode = EveryCodeAfter({});
    const struct {
        const char* what;
        std::uint16_t formatTag;
        std::uint16_t bits;
        std::uint16_t validBits;
        std::vector<double> values;
    } rows[] = {
        {"8-bit", kPcm, 8, 0, {-128, -127, -65, -64, -10, -3, -1, 0, 1, 3, 10, 63, 64, 85, 126, 127}},
        {"16-bit",
         kPcm,
         16,
         0,
         {-32768, -32767, -16385, -16384, -10, -3, -1, 0, 1, 3, 10, 16383, 16384, 21845, 32766, 32767}},
        {"24-bit", kPcm, 24, 0, {-8388608, -8388607, -4194305, -4194304, -8355841, -32768, -10,   -3,
                                 -1,       0,        1,        3,        10,       128,    32768, 65408,
                                 4194303,  4194304,  5592405,  8388480,  8388606,  8388607}},
        {"32-bit",
         kPcm,
         32,
         0,
         {-2147483648.0, -2147483647, -1073741825, -1073741824, -10, -3, -1, 0, 1, 3, 10, 1073741823, 1073741824,
          1431655765, 2147483646, 2147483647}},
        {"8 of 8 bits, 5 valid", kPcm, 8, 5, {-128, -9, -8, -7, -1, 0, 1, 7, 8, 9, 127}},
        {"16 of 16 bits, 12 valid", kPcm, 16, 12, {-32768, -17, -16, -15, -1, 0, 1, 15, 16, 17, 32767}},
        {"24 of 24 bits, 20 valid", kPcm, 24, 20, {-8388608, -17, -16, -15, -1, 0, 1, 15, 16, 17, 4194303, 8388607}},
        {"32 of 32 bits, 24 valid",
         kPcm,
         32,
         24,
         {-2147483648.0, -257, -256, -255, -1, 0, 1, 255, 256, 257, 2147483647}},
        {"32-bit float",
         kFloat,
         32,
         0,
         {-inf, -3.4e38, -1, -0.1, -1e-45, -0.0, 0, 1e-45, 0.1, 0.5, 1, 3.4e38, inf, nan}},
        {"64-bit float",
         kFloat,
         64,
         0,
         {-inf, -1.7e308, -1, -0.1, -4.9e-324, -0.0, 0, 4.9e-324, 0.1, 0.5, 1, 1.7e308, inf, nan}},
        {"A-law", kALaw, 8, 0, everyCode},
        {"µ-law", kMuLaw, 8, 0, everyCode},
    };
    // Halves and thirds put products on and beside the truncation points; the large gains clamp.
    const float gains[] = {1.0f, 0.5f,  1.5f,   0.7f,  1.0f / 3,  2.0f,       -1.0f, -0.5f,
                           0.0f, -0.0f, 1e-30f, 3e38f, kInfinity, -kInfinity, kNaN};
    // One sample, a run shorter than a vector, whole groups alone (no scalar sample adds to the
    // tally), and a run crossing a block boundary with a tail.
    const std::size_t lengths[] = {1, 7, 64, 2 * 4096 + 11};
    const VectorLevel levels[] = {VectorLevel::Baseline, VectorLevel::Ssse3, VectorLevel::Avx2, VectorLevel::Avx512};
    for (const auto& row : rows) {
        for (const float gain : gains) {
            for (const std::size_t length : lengths) {
                for (const VectorLevel level : levels) {
                    if (level > ProcessorVectorLevel()) {
                        continue;
                    }
                    LimitVectorLevel(level);
                    Bytes input;
                    Bytes expected;
                    SampleTally expectedTally;
                    const std::size_t n = row.values.size();
                    for (std::size_t i = 0; i < length; ++i) {
                        const double value = row.values[(i + i / n) % n];
                        const Coded coded = CodeSample(row.formatTag, row.bits, row.validBits, value, gain);
                        input.insert(input.end(), coded.input.begin(), coded.input.end());
                        expected.insert(expected.end(), coded.expected.begin(), coded.expected.end());
                        AddToTally(expectedTally, coded);
                    }
                    WaveFile wave = InMemoryWave(row.validBits == 0 ? row.formatTag : 0xFFFE, 1, row.bits, 8000, input);
                    wave.format.subformatCode = row.formatTag;
                    wave.format.validBitsPerSample = row.validBits;
                    ProcessingValues values;
                    values.gain = gain;
                    const std::atomic<bool> running{false};
                    SampleTally tally;
                    ASSERT_EQ(ApplyVolumeAndTrim(wave, values, running, nullptr, &tally), TrimOutcome::Done)
                        << row.what;
                    const std::string where = std::string(row.what) + ", gain " + std::to_string(gain) + ", " +
                                              std::to_string(length) + " samples, level " +
                                              std::to_string(static_cast<int>(level));
                    EXPECT_EQ(tally.clipped, expectedTally.clipped) << where;
                    EXPECT_EQ(tally.peakIn, expectedTally.peakIn) << where;
                    EXPECT_EQ(tally.peakOut, expectedTally.peakOut) << where;
                    const Bytes actual = DataOf(*wave.chunks[0]);
                    ASSERT_EQ(actual.size(), expected.size()) << row.what;
                    const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin());
                    EXPECT_TRUE(differ.first == actual.end())
                        << row.what << ", gain " << gain << ", " << length << " samples, level "
                        << static_cast<int>(level) << ": byte " << (differ.first - actual.begin()) << " is "
                        << int{*differ.first} << ", not " << int{*differ.second};
                }
            }
        }
    }
    LimitVectorLevel(VectorLevel::Avx512);
}

// The level of a sample as the trim search measures it, written out plainly.
float ReferenceLevel(std::uint16_t formatTag, std::uint16_t bits, double value) {
    if (formatTag == kFloat) {
        return static_cast<float>(std::abs(bits == 32 ? static_cast<float>(value) : value));
    }
    if (formatTag == kALaw || formatTag == kMuLaw) {
        const auto code = static_cast<std::uint8_t>(value);
        return static_cast<float>(std::abs(formatTag == kALaw ? ExpandALaw(code) : ExpandMuLaw(code)) / 32768.0);
    }
    const double fullScale = bits <= 16 ? std::ldexp(1.0, bits - 1) : std::ldexp(1.0, bits - 1) - 1;
    return static_cast<float>(std::abs(value) / fullScale);
}

// A threshold in dB whose linear level is `level` itself where a float next to the exact logarithm
// gives it, so that a quiet sample can sit exactly at the threshold.
float DbNear(float level) {
    float db = static_cast<float>(20.0 * std::log10(static_cast<double>(level)));
    for (int step = 0; step < 64 && LinearFromDb(db) != level; ++step) {
        db = std::nextafter(db, LinearFromDb(db) < level ? 0.0f : -200.0f);
    }
    return db;
}

// The search for the first and last loud sample against the level rule, with one loud sample at
// each position around the scan's runs and vector groups, among quiet ones that fill every position.
TEST(VolumeAndTrimTest, TrimSearchFindsTheLoudSampleInEveryPosition) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Each row's threshold is the level of its first candidate; the candidates fall on both sides.
    const struct {
        const char* what;
        std::uint16_t formatTag;
        std::uint16_t bits;
        std::vector<double> candidates;
    } rows[] = {
        {"8-bit", kPcm, 8, {64, -64, 63, 65, -65, -128, 127, 0}},
        {"16-bit", kPcm, 16, {16384, -16384, 16383, 16385, -16385, -32768, 32767, 0}},
        {"24-bit", kPcm, 24, {4194304, -4194304, 4194303, 4194305, -4194305, -8388608, 8388607, 0}},
        {"32-bit",
         kPcm,
         32,
         {1073741824, -1073741824, 1073741888, -1073741889, 1073741952, -1073741953, -2147483648.0, 2147483647, 0}},
        {"32-bit float", kFloat, 32, {0.5, -0.5, 0.50000006, -0.50000006, 0.49999997, 0, -0.0, nan, inf, -inf}},
        {"64-bit float",
         kFloat,
         64,
         {0.5, -0.5, 0.5000000001, -0.5000000001, 0.50000006, -0.50000006, 0, nan, inf, -inf}},
        {"A-law", kALaw, 8, EveryCodeAfter({static_cast<double>(CompressALaw(1024))})},
        {"µ-law", kMuLaw, 8, EveryCodeAfter({static_cast<double>(CompressMuLaw(1024))})},
    };
    // Three runs of the scan and seven samples more: the first and last groups, the run edges.
    const std::size_t length = 3 * 256 + 7;
    const std::size_t positions[] = {0,   1,   3,   4,   5,   6,   7,   255, 256, 257, 262, 263,
                                     264, 511, 512, 518, 519, 520, 767, 768, 771, 772, 773, 774};
    for (const auto& row : rows) {
        const float thresholdDb = DbNear(ReferenceLevel(row.formatTag, row.bits, row.candidates[0]));
        const float threshold = LinearFromDb(thresholdDb);
        std::vector<Bytes> quiet;
        std::vector<Bytes> loud;
        for (const double value : row.candidates) {
            const Bytes coded = CodeSample(row.formatTag, row.bits, 0, value, 1.0f).input;
            (ReferenceLevel(row.formatTag, row.bits, value) > threshold ? loud : quiet).push_back(coded);
        }
        ASSERT_FALSE(quiet.empty()) << row.what;
        ASSERT_FALSE(loud.empty()) << row.what;
        for (const std::size_t position : positions) {
            for (const Bytes& louder : loud) {
                Bytes input;
                for (std::size_t i = 0; i < length; ++i) {
                    const Bytes& sample = i == position ? louder : quiet[(i + i / quiet.size()) % quiet.size()];
                    input.insert(input.end(), sample.begin(), sample.end());
                }
                WaveFile wave = InMemoryWave(row.formatTag, 1, row.bits, 8000, input);
                ProcessingValues values;
                values.head.thresholdDb = thresholdDb;
                values.tail.thresholdDb = thresholdDb;
                ASSERT_EQ(Apply(wave, values), TrimOutcome::Done) << row.what;
                EXPECT_EQ(DataOf(*wave.chunks[0]), louder) << row.what << " loud at " << position;
            }
        }
    }
}

}  // namespace
