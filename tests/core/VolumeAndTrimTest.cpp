// Gain, clamping, level thresholds, the whole-frame cut and the margins of silence.
#include "core/VolumeAndTrim.h"

#include "support/WavBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kALaw = 6;
constexpr std::uint16_t kMuLaw = 7;
constexpr float kOff = 1.0f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

struct Trim {
    float gain = 1.0f;
    float headLinear = kOff;
    float tailLinear = kOff;
    float headMarginSec = 0.0f;
    float tailMarginSec = 0.0f;
};

TrimOutcome Apply(WaveFile& wave, const Trim& trim, bool cancelled = false) {
    const std::atomic<bool> cancel{cancelled};
    return ApplyVolumeAndTrim(wave, trim.gain, trim.headLinear, trim.tailLinear,
                              trim.headMarginSec, trim.tailMarginSec, cancel);
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
    {"16-bit clamps at both ends", kPcm, 16, 2.0f, Samples(2, {20000, -20000, 0}),
     Samples(2, {32767, -32768, 0})},
    {"16-bit truncates toward zero", kPcm, 16, 0.5f, Samples(2, {3, -3, 32767, -32768}),
     Samples(2, {1, -1, 16383, -16384})},
    // 10 x 0.7f is 6.99999988 in double; a float product would round it up to 7.
    {"16-bit product is formed in double", kPcm, 16, 0.7f, Samples(2, {10}), Samples(2, {6})},
    {"24-bit clamps at both ends", kPcm, 24, 2.0f, Samples(3, {5000000, -5000000, -1}),
     Samples(3, {8388607, -8388608, -2})},
    {"24-bit truncates toward zero", kPcm, 24, 0.5f, Samples(3, {3, -3}), Samples(3, {1, -1})},
    {"32-bit integer clamps at both ends", kPcm, 32, 2.0f,
     Samples(4, {2000000000, -2000000000, -7}), Samples(4, {2147483647, -2147483648LL, -14})},
    {"32-bit integer truncates toward zero", kPcm, 32, 0.5f, Samples(4, {3, -3}),
     Samples(4, {1, -1})},
    {"32-bit float is not clamped", kFloat, 32, 2.0f, FloatSamples({0.8f, -0.25f}),
     FloatSamples({1.6f, -0.5f})},
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
    {"NaN gain stores integer silence", kPcm, 16, kNaN, Samples(2, {100, -100}),
     Samples(2, {0, 0})},
    {"NaN gain stores 8-bit silence", kPcm, 8, kNaN, {7, 250}, {128, 128}},
    {"infinite gain clamps, and keeps silence silent", kPcm, 24, kInfinity,
     Samples(3, {1, -1, 0}), Samples(3, {8388607, -8388608, 0})},
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
        Trim trim;
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
        Apply(wave, Trim{});
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
        {"float with fewer valid bits is not masked", kFloat, 32, 24, 2.0f, FloatSamples({0.8f}),
         FloatSamples({1.6f})},
        {"64-bit float", kFloat, 64, 64, 2.0f, DoubleSamples({0.8}), DoubleSamples({1.6})},
        {"20 of 20 bits is left alone", kPcm, 20, 20, 2.0f, Samples(3, {100}), Samples(3, {100})},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(0xFFFE, 1, row.bits, 8000, row.input);
        wave.format.subformatCode = row.subformat;
        wave.format.validBitsPerSample = row.validBits;
        Trim trim;
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
        Trim trim;
        trim.headLinear = trim.tailLinear = 0.001f;
        trim.headMarginSec = trim.tailMarginSec = 1.0f;
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.law;
    }
}

TEST(VolumeAndTrimTest, ZeroChannelsNeverReachADivision) {
    WaveFile wave = InMemoryWave(kPcm, 0, 16, 0, Samples(2, {0, 100, 0}));
    Trim trim;
    trim.headLinear = trim.tailLinear = 0.01f;
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
        {"24-bit", kPcm, 24, 1.0f, Samples(3, {-132, 133, 132, -133, 132}),
         Samples(3, {133, 132, -133})},
    };
    for (const Row& row : rows) {
        WaveFile wave = InMemoryWave(row.formatTag, 1, row.bits, 8000, row.input);
        Trim trim;
        trim.headLinear = trim.tailLinear = LinearFromDb(-96.0f);
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.expected) << row.what;
    }
}

TEST(VolumeAndTrimTest, WorkedExampleAtMinus40Db) {
    const Bytes samples = Samples(2, {0, 10, 500, 600, 5, 0});
    Trim trim;
    trim.headLinear = trim.tailLinear = LinearFromDb(-40.0f);

    WaveFile plain = InMemoryWave(kPcm, 1, 16, 16000, samples);
    Apply(plain, trim);
    EXPECT_EQ(DataOf(*plain.chunks[0]), Samples(2, {500, 600}));

    WaveFile withMargin = InMemoryWave(kPcm, 1, 16, 16000, samples);
    trim.headMarginSec = 1.0f;
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
    Trim trim;
    trim.headLinear = trim.tailLinear = 0.001f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), Samples(2, {0, 100, 0, 0, 100, 0}));
}

TEST(VolumeAndTrimTest, EndsAreKeptWhenNothingIsLouderThanTheirThreshold) {
    const struct {
        const char* what;
        Bytes input;
        float headLinear;
        float tailLinear;
    } rows[] = {
        {"all silent", Samples(2, {0, 0, 0}), 0.01f, 0.01f},
        {"level equals the threshold", FloatSamples({0.5f, 0.5f}), 0.5f, 0.5f},
        {"thresholds of 0 dB", Samples(2, {0, 1000, 0}), LinearFromDb(0.0f), LinearFromDb(0.0f)},
        {"NaN samples are never loud", FloatSamples({kNaN, kNaN}), 0.01f, 0.01f},
        {"NaN thresholds", Samples(2, {0, 1000, 0}), kNaN, kNaN},
    };
    for (const auto& row : rows) {
        const std::uint16_t tag = row.input.size() % 4 == 0 ? kFloat : kPcm;
        WaveFile wave = InMemoryWave(tag, 1, tag == kFloat ? 32 : 16, 8000, row.input);
        Trim trim;
        trim.headLinear = row.headLinear;
        trim.tailLinear = row.tailLinear;
        trim.headMarginSec = trim.tailMarginSec = 1.0f;
        Apply(wave, trim);
        EXPECT_EQ(DataOf(*wave.chunks[0]), row.input) << row.what;
    }
}

TEST(VolumeAndTrimTest, EachEndHasItsOwnThreshold) {
    // Floats may exceed 1.0, which still does not trim an end whose threshold is 1.0.
    WaveFile wave = InMemoryWave(kFloat, 1, 32, 32000, FloatSamples({0.0f, 2.0f, 0.1f, 0.0f, 0.0f}));
    Trim trim;
    trim.headLinear = 0.05f;
    trim.tailLinear = kOff;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[0]), FloatSamples({2.0f, 0.1f, 0.0f, 0.0f}));
    trim.headLinear = kOff;
    trim.tailLinear = 0.5f;
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
        {"stereo 16-bit", 16, 2, 10, 1.0f, 0.0f, Samples(2, {0, 0, 7, -7, 0, 0}),
         Samples(2, {0, 0, 0, 0, 7, -7})},
        {"negative margins add nothing", 16, 1, 2000, -1.0f, -20.0f, Samples(2, {0, 9, 0}),
         Samples(2, {9})},
        {"NaN margins add nothing", 16, 1, 2000, kNaN, kNaN, Samples(2, {0, 9, 0}), Samples(2, {9})},
    };
    for (const auto& row : rows) {
        WaveFile wave = InMemoryWave(kPcm, row.channels, row.bits, row.byteRate, row.input);
        Trim trim;
        trim.headLinear = trim.tailLinear = 0.0001f;
        trim.headMarginSec = row.headMarginSec;
        trim.tailMarginSec = row.tailMarginSec;
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
        Trim trim;
        trim.headLinear = trim.tailLinear = 0.0001f;
        trim.headMarginSec = trim.tailMarginSec = 2.0f;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Done) << row.what;
        EXPECT_EQ(wave.chunks[0]->size, row.expectedSize) << row.what;
    }
}

TEST(VolumeAndTrimTest, PartialFramesAreNeverCutInto) {
    // Stereo 16-bit: two whole frames, then one lone sample and one stray byte.
    const Bytes loud = Concat({Samples(2, {50, 50, 60, 60, 70}), {9}});
    WaveFile untouched = InMemoryWave(kPcm, 2, 16, 32000, loud);
    Trim trim;
    trim.headLinear = trim.tailLinear = 0.001f;
    trim.headMarginSec = trim.tailMarginSec = 1.0f;
    Apply(untouched, trim);
    EXPECT_EQ(DataOf(*untouched.chunks[0]), loud);

    const Bytes quietStart = Concat({Samples(2, {0, 0, 60, 60, 70}), {9}});
    WaveFile cut = InMemoryWave(kPcm, 2, 16, 32000, quietStart);
    trim.headMarginSec = trim.tailMarginSec = 0.0f;
    Apply(cut, trim);
    EXPECT_EQ(DataOf(*cut.chunks[0]), Samples(2, {60, 60}));

    // Only the lone sample is loud: it is not part of a frame, so nothing is cut.
    const Bytes quietFrames = Samples(2, {0, 0, 0, 0, 70});
    WaveFile kept = InMemoryWave(kPcm, 2, 16, 32000, quietFrames);
    Apply(kept, trim);
    EXPECT_EQ(DataOf(*kept.chunks[0]), quietFrames);
}

TEST(VolumeAndTrimTest, ShorterResultReusesTheArrayAndLongerOneGetsANewOne) {
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 2, Samples(2, {0, 0, 5, 0}));
    const std::uint8_t* before = wave.chunks[0]->data.Data();
    Trim trim;
    trim.headLinear = trim.tailLinear = 0.0001f;
    trim.headMarginSec = 1.0f;
    Apply(wave, trim);
    EXPECT_EQ(wave.chunks[0]->data.Data(), before);
    EXPECT_EQ(DataOf(*wave.chunks[0]), Samples(2, {0, 5}));

    trim.headMarginSec = 0.0f;
    trim.tailMarginSec = 1000.0f;
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
        Trim trim;
        trim.headLinear = trim.tailLinear = 0.0001f;
        trim.tailMarginSec = margin;
        EXPECT_EQ(Apply(wave, trim), TrimOutcome::Failed) << margin;
    }
}

TEST(VolumeAndTrimTest, EveryBlockIsProcessedAndACancelStopsThePass) {
    const std::size_t count = 3 * 4096 + 5;
    Bytes samples;
    for (std::size_t i = 0; i < count; ++i) {
        PutLe(samples, 1 + i % 1000, 2);
    }
    WaveFile wave = InMemoryWave(kPcm, 1, 16, 2, samples);
    Trim trim;
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
    Trim trim;
    trim.gain = 3.0f;
    Apply(wave, trim);
    EXPECT_EQ(DataOf(*wave.chunks[1]), Samples(2, {300}));
    EXPECT_EQ(DataOf(*wave.chunks[2]), Samples(2, {100}));
}

}  // namespace
