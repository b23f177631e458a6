// The options of palvotrix-cli: what a wrong one does, and what the right ones make of a file,
// compared byte for byte with the core's own job run with the settings the window would capture.
#include "CliProcess.h"
#include "support/TestFiles.h"

#include "core/FileJob.h"
#include "core/ProcessingSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

// The gain a run takes from the percent box as shown.
float GainShown(float percent) {
    return static_cast<float>(percent / 100.0);
}

// 24 bits, so that thresholds down to -96 dB and below still fall on different samples. The level
// climbs from -120 dB to full scale, holds, and falls back: every threshold cuts at its own sample,
// and every gain changes the loud part.
Bytes LevelSweepWave() {
    constexpr int kRamp = 3000;
    constexpr int kHold = 2000;
    std::vector<std::int32_t> samples;
    for (int i = 0; i < 2 * kRamp + kHold; ++i) {
        const int fromEdge = i < kRamp + kHold ? i : 2 * kRamp + kHold - 1 - i;
        const double db = fromEdge < kRamp ? -120.0 + 120.0 * fromEdge / kRamp : 0.0;
        const auto magnitude = static_cast<std::int32_t>(8388607.0 * std::pow(10.0, db / 20.0));
        samples.push_back(i % 2 == 0 ? magnitude : -magnitude);
    }
    return MakeWave(24, samples);
}

Bytes ProcessedByCore(const std::filesystem::path& input, const std::filesystem::path& out,
                      const ProcessingValues& expected) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    EXPECT_TRUE(Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out).c_str()));
    settings.SetValues(expected);
    ProcessFile(settings, Utf16FromPath(input).c_str());
    EXPECT_FALSE(settings.errorOccurred);
    return ReadBytes(out / input.filename());
}

TEST(CliOptions, ValuesReachTheJobAsTheValueBoxesPassThemOn) {
    struct Case {
        Args options;
        ProcessingValues expected;
        // What a plausible slip would give instead; the fixture must tell the two apart.
        std::optional<ProcessingValues> notThis;
    };
    const Case cases[] = {
        {{}, {}, std::nullopt},
        {{"--volume", "150"}, {1.5f, {}, {}}, std::nullopt},
        {{"--volume=+120"}, {GainShown(120.0f), {}, {}}, std::nullopt},
        {{"--volume", "2000"}, {10.0f, {}, {}}, ProcessingValues{20.0f, {}, {}}},
        {{"--volume", "5"}, {0.1f, {}, {}}, ProcessingValues{0.05f, {}, {}}},
        {{"--volume", "50.004"}, {0.5f, {}, {}}, ProcessingValues{0.50004f, {}, {}}},
        {{"--volume", "50.006"}, {GainShown(50.01f), {}, {}}, ProcessingValues{0.5f, {}, {}}},
        // -6 dB is 50.1187 %, shown as 50.12; the run takes the gain from what is shown.
        {{"--volume-db", "-6"}, {GainShown(50.12f), {}, {}}, ProcessingValues{0.501187f, {}, {}}},
        {{"--volume-db", "30"}, {10.0f, {}, {}}, std::nullopt},
        {{"--volume-db", "-25"}, {0.1f, {}, {}}, std::nullopt},
        {{"--volume-db", "-6", "--volume", "80"}, {GainShown(80.0f), {}, {}}, std::nullopt},
        {{"--volume", "80", "--volume-db", "-6"}, {GainShown(50.12f), {}, {}}, ProcessingValues{0.8f, {}, {}}},
        {{"--head-threshold", "-40"}, {1.0f, {-40.0f, 0.0f}, {}}, std::nullopt},
        {{"--head-threshold", "-30", "--head-margin", "0.25"}, {1.0f, {-30.0f, 0.25f}, {}}, std::nullopt},
        {{"--head-threshold", "-5"}, {1.0f, {-12.0f}, {}}, ProcessingValues{1.0f, {-5.0f}, {}}},
        {{"--head-threshold", "-200"}, {1.0f, {-96.0f}, {}}, ProcessingValues{1.0f, {-200.0f}, {}}},
        {{"--tail-threshold=-20.004", "--tail-margin", "50"},
         {1.0f, {}, {-20.0f, 20.0f}},
         ProcessingValues{1.0f, {}, {-20.0f, 50.0f}}},
        {{"--tail-margin", "-0.5", "--tail-threshold", "-30"}, {1.0f, {}, {-30.0f, -0.5f}}, std::nullopt},
        // Numbers beyond a float's range are numbers all the same, and clamp.
        {{"--volume", "1e39"}, {10.0f, {}, {}}, std::nullopt},
        {{"--volume-db", "-1e999"}, {0.1f, {}, {}}, std::nullopt},
        {{"--tail-threshold", "-1e39", "--tail-margin", "1e-50"}, {1.0f, {}, {-96.0f, 0.0f}}, std::nullopt},
        // A margin without its threshold is a value in a box whose check box is off.
        {{"--head-margin", "1"}, {}, std::nullopt},
        // Once the other end is cut, margins are added at both ends: one without its threshold would show.
        {{"--head-margin", "1", "--tail-threshold", "-30"},
         {1.0f, {}, {-30.0f, 0.0f}},
         ProcessingValues{1.0f, {0.0f, 1.0f}, {-30.0f, 0.0f}}},
        {{"--tail-margin", "1", "--head-threshold", "-30"},
         {1.0f, {-30.0f, 0.0f}, {}},
         ProcessingValues{1.0f, {-30.0f, 0.0f}, {0.0f, 1.0f}}},
        {{"--volume", "200", "--head-threshold", "-60", "--head-margin", "0.1", "--tail-threshold", "-50",
          "--tail-margin", "0.2"},
         {2.0f, {-60.0f, 0.1f}, {-50.0f, 0.2f}},
         std::nullopt},
    };
    TempFolder folder;
    const auto input = folder / "sweep.wav";
    WriteBytes(input, LevelSweepWave());
    for (const Case& c : cases) {
        std::string name;
        for (const std::string& option : c.options) {
            name += option + " ";
        }
        SCOPED_TRACE(name);
        const auto cliOut = folder.MakeFolder("cli");
        const auto coreOut = folder.MakeFolder("core");
        Args arguments = c.options;
        arguments.insert(arguments.end(), {"-o", Utf8Path(cliOut), Utf8Path(input)});

        const CliResult result = RunCli(arguments, folder.Path());
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        const Bytes produced = ReadBytes(cliOut / "sweep.wav");
        EXPECT_EQ(produced, ProcessedByCore(input, coreOut, c.expected));
        if (c.notThis) {
            EXPECT_NE(produced, ProcessedByCore(input, coreOut, *c.notThis));
        }
        std::filesystem::remove_all(cliOut);
        std::filesystem::remove_all(coreOut);
    }
}

TEST(CliOptions, OutputFolderIsTakenInEverySpelling) {
    TempFolder folder;
    WriteBytes(folder / "a.wav", MakeWave(8, {0, 40, -40, 0}));
    const auto out = Utf8Path(folder / "out");
    const Args spellings[] = {{"-o", out}, {"-o" + out}, {"--output", out}, {"--output=" + out}};
    for (const Args& spelling : spellings) {
        SCOPED_TRACE(spelling.front());
        folder.MakeFolder("out");
        Args arguments = spelling;
        arguments.push_back("a.wav");
        const CliResult result = RunCli(arguments, folder.Path());
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_TRUE(std::filesystem::exists(folder / "out" / "a.wav"));
        std::filesystem::remove_all(folder / "out");
    }
}

TEST(CliOptions, WrongArgumentIsRefusedBeforeAnyFileIsTouched) {
    struct Case {
        Args arguments;
        const char* quoted;  // what the message must name
    };
    const Case cases[] = {
        {{"--volume", "abc"}, "'abc'"},
        {{"--volume", ""}, "''"},
        {{"--volume="}, "''"},
        {{"--volume", "12x"}, "'12x'"},
        {{"--volume", "1,5"}, "'1,5'"},
        {{"--volume-db", "+-5"}, "'+-5'"},
        {{"--volume-db", "nan"}, "'nan'"},
        {{"--head-threshold", "-inf"}, "'-inf'"},
        {{"--head-margin", "0x10"}, "'0x10'"},
        {{"--tail-threshold"}, "'--tail-threshold'"},
        {{"-o"}, "'--output'"},
        {{"--bogus"}, "'--bogus'"},
        {{"-x"}, "'-x'"},
        {{"-hx"}, "unknown option '-hx'"},
        {{"--help=yes"}, "'--help'"},
        {{""}, "empty file name"},
#ifndef _WIN32
        // An output folder, or any option, that is not UTF-8 names nothing that could be written.
        {{"-o", "out\xff"}, "option '--output': 'out\\xff' is not valid UTF-8"},
        {{"--output=out\xff"}, "'--output=out\\xff' is not valid UTF-8"},
        {{"--volume", "5\xc0"}, "option '--volume': '5\\xc0' is not valid UTF-8"},
#endif
        // A report that a run would overwrite, or write over an input before it is read.
        {{"--report", "a.wav"}, "also an input"},
        {{"--report", "out/../out/a.wav"}, "also an output"},
        {{"--report="}, "'--report' needs a file name"},
    };
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    WriteBytes(folder / "a.wav", MakeWave(16, {0, 100, -100, 0}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quoted);
        // The file comes first: a parser that starts work early would already have written it.
        Args arguments{"-o", Utf8Path(out), "a.wav"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliResult result = RunCli(arguments, folder.Path());
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_TRUE(result.lines.empty());
        EXPECT_NE(result.errors.find(c.quoted), std::string::npos) << result.errors;
        EXPECT_TRUE(std::filesystem::is_empty(out));
    }
}

TEST(CliOptions, OverlongOutputFolderIsRefused) {
    TempFolder folder;
    WriteBytes(folder / "a.wav", MakeWave(16, {0, 100, -100, 0}));
    // A folder takes at most kTextCapacity - 1 characters.
    for (const std::size_t length : {std::size_t{600}, kTextCapacity}) {
        const CliResult result = RunCli({"-o", std::string(length, 'x'), "a.wav"}, folder.Path());
        EXPECT_EQ(result.exitStatus, 2) << length;
        EXPECT_TRUE(result.lines.empty()) << length;
        EXPECT_NE(result.errors.find("output folder too long"), std::string::npos) << result.errors;
    }
    EXPECT_EQ(RunCli({"-o", std::string(kTextCapacity - 1, 'x')}, folder.Path()).exitStatus, 0);
}

}  // namespace
