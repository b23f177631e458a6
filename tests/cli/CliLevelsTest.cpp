// The level options of palvotrix-cli: which combinations are refused, and what --measure prints.
#include "CliProcess.h"
#include "support/TestFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

TEST(CliLevels, ClashingOptionsAreRefusedByName) {
    const struct {
        Args arguments;
        const char* message;
    } rows[] = {
        {{"--loudness", "-23", "--volume", "50"}, "options '--loudness' and '--volume' cannot be used together"},
        {{"--volume-db", "3", "--normalize", "-1"}, "options '--volume-db' and '--normalize' cannot be used together"},
        {{"--normalize", "-1", "--loudness", "-16"}, "options '--normalize' and '--loudness' cannot be used together"},
        {{"--measure", "--loudness", "-16"}, "options '--measure' and '--loudness' cannot be used together"},
        {{"--tail-threshold", "-40", "--measure"},
         "options '--measure' and '--tail-threshold' cannot be used together"},
        {{"--true-peak"}, "option '--true-peak' needs '--normalize', '--loudness' or '--measure'"},
        {{"--peak-ceiling", "-1", "--volume", "50"}, "option '--peak-ceiling' needs '--normalize' or '--loudness'"},
        {{"--measure=yes"}, "option '--measure' takes no value"},
    };
    TempFolder folder;
    WriteBytes(folder / "a.wav", MakeWave(16, {0, 100, -100, 0}));
    for (const auto& row : rows) {
        Args arguments = row.arguments;
        arguments.push_back("a.wav");
        const CliResult result = RunCli(arguments, folder.Path());
        EXPECT_EQ(result.exitStatus, 2) << row.message;
        EXPECT_TRUE(result.lines.empty()) << row.message;
        EXPECT_NE(result.errors.find(row.message), std::string::npos) << result.errors;
    }
    // The two spellings of the volume set one box: the last one counts, as before.
    EXPECT_EQ(RunCli({"--volume", "50", "--volume-db", "3", "a.wav"}, folder.Path()).exitStatus, 0);
}

TEST(CliLevels, MeasureWritesNothingAndPrintsALinePerFile) {
    TempFolder folder;
    // A 1 kHz stereo tone whose samples peak at -20 dBFS, and a silent file.
    WriteBytes(folder / "tone.wav", Riff({Fmt(3, 2, 48000, 32), Chunk("data", FloatSines(48000, {{2, {-20, -20}}}))}));
    WriteBytes(folder / "silent.wav", Riff({Fmt(1, 1, 44100, 16), Chunk("data", Bytes(8820, 0))}));
    const CliResult result = RunCli({"--measure", "--true-peak", "tone.wav", "silent.wav"}, folder.Path());
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(result.lines, (std::vector<std::string>{
                                "tone.wav  peak -20.00 dBFS  true peak -19.99 dBTP  loudness -19.99 LUFS",
                                "silent.wav  peak -inf dBFS  true peak -inf dBTP  loudness -inf LUFS",
                            }));
    EXPECT_EQ(ListFolder(folder.Path()).size(), 2u);
    const CliResult plain = RunCli({"--measure", "silent.wav"}, folder.Path());
    EXPECT_EQ(plain.lines, std::vector<std::string>{"silent.wav  peak -inf dBFS  loudness -inf LUFS"});
}

}  // namespace
