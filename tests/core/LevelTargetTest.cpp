// The gain that reaches a level target: the arithmetic, the ceiling that holds it back, and the
// files it leaves at their own level.
#include "core/FileJob.h"
#include "core/LevelTarget.h"
#include "core/Utf16Path.h"

#include "support/TestFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Kind = FileReason::Kind;
using Target = LevelTarget::Kind;

Levels Measured(double samplePeakDb, double truePeakDb, double lufs) {
    Levels levels;
    levels.measured = true;
    levels.loudnessMeasured = true;
    levels.samplePeak = std::pow(10.0, samplePeakDb / 20.0);
    levels.truePeak = std::pow(10.0, truePeakDb / 20.0);
    levels.loudnessLufs = lufs;
    return levels;
}

TEST(LevelTargetTest, TheGainReachesTheTargetUnlessTheCeilingHoldsItBack) {
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    Levels noLoudness = Measured(-6, -6, -20);
    noLoudness.loudnessMeasured = false;
    const struct {
        const char* what;
        LevelTarget target;
        Levels levels;
        double expectedGainDb;
        Kind note;
        double reached;
    } rows[] = {
        {"loudness up", {Target::Loudness, -23, 0, false}, Measured(-20, -20, -30), 7.0, Kind::None, 0},
        {"loudness down", {Target::Loudness, -23, 0, false}, Measured(-1, -1, -14.5), -8.5, Kind::None, 0},
        {"loudness held by the sample peak",
         {Target::Loudness, -15, 0, false},
         Measured(-4, -3, -20),
         4.0,
         Kind::LoudnessLimited,
         -16.0},
        {"a ceiling exactly at the gain reaches the target",
         {Target::Loudness, -16, 0, false},
         Measured(-4, -3, -20),
         4.0,
         Kind::None,
         0},
        {"loudness held by the true peak",
         {Target::Loudness, -16, -1, true},
         Measured(-4, -3, -20),
         2.0,
         Kind::LoudnessLimited,
         -18.0},
        {"sample peak", {Target::SamplePeak, -1, 0, false}, Measured(-13.5, -12, -30), 12.5, Kind::None, 0},
        {"sample peak held by the true peak",
         {Target::SamplePeak, -0.5, -1, true},
         Measured(-3, -2.2, -30),
         1.2,
         Kind::PeakLimited,
         -1.8},
        {"the gain is rounded to two decimals",
         {Target::Loudness, -23, 0, false},
         Measured(-20, -20, -30.004),
         7.0,
         Kind::None,
         0},
        {"digital silence",
         {Target::Loudness, -23, 0, false},
         Measured(minusInfinity, minusInfinity, minusInfinity),
         0.0,
         Kind::UnchangedSilent,
         0},
        {"near-silence below the gate",
         {Target::Loudness, -23, 0, false},
         Measured(-80, -80, minusInfinity),
         0.0,
         Kind::UnchangedSilent,
         0},
        {"silence against a peak target",
         {Target::SamplePeak, -1, 0, false},
         Measured(minusInfinity, 0, 0),
         0.0,
         Kind::UnchangedSilent,
         0},
        {"a rate without loudness", {Target::Loudness, -23, 0, false}, noLoudness, 0.0, Kind::UnchangedNoLoudness, 0},
    };
    for (const auto& row : rows) {
        const TargetGain gain = GainForTarget(row.target, row.levels);
        EXPECT_NEAR(20.0 * std::log10(gain.gain), row.expectedGainDb, 1e-5) << row.what;
        EXPECT_EQ(gain.note.kind, row.note) << row.what;
        EXPECT_NEAR(gain.note.level, row.reached, 1e-5) << row.what;
    }
}

// The whole job: measured, scaled as the volume is, written; and measured again.
TEST(LevelTargetTest, AJobWithALoudnessTargetWritesAFileOfThatLoudness) {
    TempFolder in;
    TempFolder out;
    const Bytes samples = FloatSines(48000, {{3, {-31.0, -35.0}, 440.0}});
    WriteBytes(in / "a.wav", Riff({Fmt(3, 2, 48000, 32), Chunk("data", samples)}));
    WriteBytes(in / "silent.wav", Riff({Fmt(1, 1, 48000, 16), Chunk("data", Bytes(9600, 0))}));
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    settings.target = {Target::Loudness, -23.0, 0.0, false};
    ProcessFile(settings, Utf16FromPath(in / "a.wav").c_str());
    ASSERT_FALSE(settings.errorOccurred);
    EXPECT_EQ(settings.reason.kind, Kind::None);
    settings.target = {};
    MeasureFile(settings, Utf16FromPath(out / "a.wav").c_str());
    ASSERT_TRUE(settings.levels.measured);
    EXPECT_NEAR(settings.levels.loudnessLufs, -23.0, 0.1);

    settings.target = {Target::Loudness, -23.0, 0.0, false};
    ProcessFile(settings, Utf16FromPath(in / "silent.wav").c_str());
    EXPECT_EQ(settings.reason.kind, Kind::UnchangedSilent);
    EXPECT_EQ(ReadBytes(out / "silent.wav"), ReadBytes(in / "silent.wav"));
}

}  // namespace
