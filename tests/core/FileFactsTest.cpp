// What the job records of a processed file: the samples that clipped in each coding, the peaks
// before and after the gain, and the frames it cut and put back.
#include "core/FileJob.h"

#include "core/G711.h"
#include "core/Utf16Path.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Measured {
    std::uint64_t clipped;
    std::optional<double> peakIn;
    std::optional<double> peakOut;
};

std::optional<AudioFacts> FactsOf(const Bytes& file, float gain, float thresholdDb = 1.0f, float marginSec = 0.0f) {
    TempFolder folder;
    WriteBytes(folder / "in.wav", file);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder.MakeFolder("out")).c_str());
    settings.gain = gain;
    settings.headThresholdDb = thresholdDb;
    settings.tailThresholdDb = thresholdDb;
    settings.tailMarginSec = marginSec;
    ProcessFile(settings, Utf16FromPath(folder / "in.wav").c_str());
    EXPECT_TRUE(settings.outputWritten);
    return settings.audio;
}

Bytes Wave(std::uint16_t formatTag, std::uint16_t bits, const Bytes& data) {
    return Riff({Fmt(formatTag, 1, 8000, bits), Chunk("data", data)});
}

// The G.711 code of a linear value, and that code's own linear value as a level.
std::uint8_t ALawOf(std::int32_t linear) {
    return CompressALaw(linear);
}
double ALawLevel(std::uint8_t code) {
    return std::abs(ExpandALaw(code)) / 32768.0;
}
double MuLawLevel(std::uint8_t code) {
    return std::abs(ExpandMuLaw(code)) / 32768.0;
}

TEST(FileFacts, ClippedSamplesAndPeaksInEveryCoding) {
    const std::uint8_t loudALaw = ALawOf(10000);
    const std::uint8_t quietALaw = ALawOf(100);
    const std::uint8_t loudMuLaw = CompressMuLaw(-10000);
    const struct {
        const char* what;
        Bytes file;
        float gain;
        Measured expected;
    } rows[] = {
        // 8-bit, stored offset by 128: -64 reaches the lowest value exactly, 64 passes the highest.
        {"8-bit none", Wave(1, 8, Bytes{64, 190}), 2.0f, {0, 0.5, 1.0}},
        {"8-bit one", Wave(1, 8, Bytes{64, 191, 192}), 2.0f, {1, 0.5, 1.0}},
        {"16-bit none", Wave(1, 16, Samples(2, {-32768, 32767})), 0.5f, {0, 1.0, 0.5}},
        {"16-bit bound exactly", Wave(1, 16, Samples(2, {-16384, 16383, 100})), 2.0f, {0, 0.5, 1.0}},
        {"16-bit one", Wave(1, 16, Samples(2, {-16384, 16384})), 2.0f, {1, 0.5, 1.0}},
        {"24-bit one",
         Wave(1, 24, Samples(3, {-4194304, 4194304})),
         2.0f,
         {1, 4194304 / 8388607.0, 8388608 / 8388607.0}},
        {"32-bit one",
         Wave(1, 32, Samples(4, {-1073741824, 1073741824})),
         2.0f,
         {1, 1073741824 / 2147483647.0, 2147483648.0 / 2147483647.0}},
        // A float result of exactly 1.0 is full scale, not above it.
        {"float bound exactly", Wave(3, 32, FloatSamples({0.5f, -0.5f})), 2.0f, {0, 0.5, 1.0}},
        {"float above 1.0", Wave(3, 32, FloatSamples({0.5f, 0.75f, -0.6f})), 2.0f, {2, 0.75, 1.5}},
        {"double above 1.0", Wave(3, 64, DoubleSamples({1.0, -1.25})), 1.0f, {1, 1.25, 1.25}},
        {"A-law one", Wave(6, 8, Bytes{quietALaw, loudALaw}), 4.0f, {1, ALawLevel(loudALaw), ALawLevel(ALawOf(32767))}},
        {"µ-law one",
         Wave(7, 8, Bytes{loudMuLaw}),
         4.0f,
         {1, MuLawLevel(loudMuLaw), MuLawLevel(CompressMuLaw(-32768))}},
        {"silence", Wave(1, 16, Samples(2, {0, 0})), 2.0f, {0, 0.0, 0.0}},
        {"no samples", Wave(1, 16, Bytes{}), 2.0f, {0, std::nullopt, std::nullopt}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<AudioFacts> facts = FactsOf(row.file, row.gain);
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->clipped, row.expected.clipped);
        EXPECT_EQ(facts->peakIn, row.expected.peakIn);
        EXPECT_EQ(facts->peakOut, row.expected.peakOut);
    }
}

TEST(FileFacts, FramesCutAndPutBackAreCounted) {
    // Stereo: two quiet frames, two kept, three quiet; the tail gets 0.5 s of silence back.
    const Bytes file =
        Riff({Fmt(1, 2, 8000, 16), Chunk("data", Samples(2, {0, 0, 0, 10, 0, 5000, -8000, 0, 0, 0, 300, 0, 0, 0}))});
    const std::optional<AudioFacts> facts = FactsOf(file, 1.0f, -40.0f, 0.5f);
    ASSERT_TRUE(facts.has_value());
    EXPECT_EQ(facts->coding, SampleCoding::Signed16);
    EXPECT_EQ(facts->channels, 2);
    EXPECT_EQ(facts->sampleRate, 8000u);
    EXPECT_EQ(facts->framesIn, 7u);
    EXPECT_EQ(facts->headCut, 2u);
    EXPECT_EQ(facts->tailCut, 3u);
    EXPECT_EQ(facts->headMargin, 0u);
    EXPECT_EQ(facts->tailMargin, 4000u);
    EXPECT_EQ(facts->framesOut, 4002u);
    // The cut samples are quieter than the kept ones, so the kept ones give the peak.
    EXPECT_EQ(facts->peakIn, 8000 / 32768.0);
    EXPECT_EQ(facts->peakOut, 8000 / 32768.0);
}

}  // namespace
