// The report for scripts: each kind of file's row, the quoting of names and the levels' text, and
// the file that a run writes.
#include "CliProcess.h"
#include "cli/CsvReport.h"
#include "cli/LevelText.h"
#include "support/TestFiles.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

FileResult Result(FileResult::Status status, FileReason::Kind why, const char* output) {
    FileResult result;
    result.status = status;
    result.reason = FileReason(why);
    result.output = Utf16FromUtf8(output);
    return result;
}

TEST(CsvReport, EachKindOfFileHasItsRow) {
    FileResult processed = Result(FileResult::Status::Processed, FileReason::Kind::None, "/out/a.wav");
    AudioFacts facts;
    facts.coding = SampleCoding::Signed24;
    facts.channels = 2;
    facts.sampleRate = 48000;
    facts.framesIn = 1000;
    facts.framesOut = 950;
    facts.headCut = 100;
    facts.tailCut = 50;
    facts.headMargin = 60;
    facts.tailMargin = 40;
    facts.gain = 2.0;
    facts.peakIn = 0.5;
    facts.peakOut = 1.0;
    facts.clipped = 7;
    processed.audio = facts;
    FileResult silent = processed;
    silent.audio->coding = SampleCoding::MuLaw;
    silent.audio->peakIn = 0.0;
    silent.audio->peakOut.reset();
    silent.audio->clipped = 0;
    const struct {
        const char* given;
        FileResult result;
        const char* row;
    } rows[] = {
        {"in/a.wav", processed, "in/a.wav,/out/a.wav,processed,,pcm24,2,48000,1000,950,100,50,60,40,6.02,-6.02,0.00,7"},
        // Silence has no level in dB; a file whose every frame was cut wrote no samples.
        {"s.wav", silent, "s.wav,/out/a.wav,processed,,mulaw,2,48000,1000,950,100,50,60,40,6.02,-inf,,0"},
        {"old.wav", Result(FileResult::Status::Unchanged, FileReason::Kind::UnchangedNoFormat, "/out/old.wav"),
         "old.wav,/out/old.wav,unchanged,written unchanged: there is no format chunk,,,,,,,,,,,,,"},
        {"x.wav", Result(FileResult::Status::Failed, FileReason::Kind::NotRiffWave, ""),
         "x.wav,,failed,not a RIFF/WAVE file,,,,,,,,,,,,,"},
        {"y.wav", Result(FileResult::Status::Stopped, FileReason::Kind::None, ""), "y.wav,,stopped,,,,,,,,,,,,,,"},
        {"we,\"ird\n.wav", Result(FileResult::Status::Failed, FileReason::Kind::CannotRead, ""),
         "\"we,\"\"ird\n.wav\",,failed,could not read the file,,,,,,,,,,,,,"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        EXPECT_EQ(CsvRow(row.given, row.result, {}), row.row);
    }
}

// The output's levels are the input's plus the gain; a file without them leaves their fields empty.
TEST(CsvReport, ALevelTargetAddsTheMeasuredLevelsInAndOut) {
    AudioFacts facts;
    facts.gain = 2.0;
    facts.loudnessIn = -30.0;
    facts.truePeakIn = 0.5;
    FileResult measured = Result(FileResult::Status::Processed, FileReason::Kind::None, "");
    measured.audio = facts;
    FileResult silent = measured;
    silent.audio->loudnessIn = -std::numeric_limits<double>::infinity();
    silent.audio->truePeakIn = 0.0;
    FileResult unmeasured = measured;
    unmeasured.audio->loudnessIn.reset();
    unmeasured.audio->truePeakIn.reset();
    const FileResult failed = Result(FileResult::Status::Failed, FileReason::Kind::CannotRead, "");
    const CsvColumns loudness{true, false};
    const CsvColumns both{true, true};
    const struct {
        FileResult result;
        CsvColumns columns;
        const char* tail;
    } rows[] = {
        {measured, loudness, ",-30.00,-23.98"},
        {measured, both, ",-30.00,-23.98,-6.02,0.00"},
        {silent, both, ",-inf,-inf,-inf,-inf"},
        {unmeasured, both, ",,,,"},
        {failed, both, ",,,,"},
    };
    for (const auto& row : rows) {
        const std::string line = CsvRow("f.wav", row.result, row.columns);
        const std::string common = CsvRow("f.wav", row.result, {});
        EXPECT_EQ(line, common + row.tail);
    }
    EXPECT_EQ(CsvHeader(loudness), CsvHeader({}) + ",loudness_in_lufs,loudness_out_lufs");
    EXPECT_EQ(CsvHeader(both), CsvHeader(loudness) + ",true_peak_in_dbtp,true_peak_out_dbtp");
}

TEST(CsvReport, LevelsAreDecibelsWithTwoDecimals) {
    const struct {
        double level;
        const char* text;
    } rows[] = {
        {0.0, "-inf"},       {1.0, "0.00"},          {0.5, "-6.02"},
        {2.0, "6.02"},       {0.001, "-60.00"},      {0.99999, "0.00"},  // no "-0.00"
        {0.10049, "-19.96"}, {1e300 * 1e300, "inf"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.level);
        EXPECT_EQ(DecibelText(row.level), row.text);
    }
}

TEST(CsvReport, FieldsAreQuotedOnlyWhereTheyMustBe) {
    EXPECT_EQ(CsvField("plain name.wav"), "plain name.wav");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CsvReport, ARunWritesTheHeaderAndARowForEachFile) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    WriteBytes(folder / "a.wav", MakeWave(16, {0, 0, 1200, -3400, 5600, -7800, 0, 0}));
    WriteBytes(folder / "broken.wav", Bytes{'n', 'o', 'p', 'e'});
    const CliResult result =
        RunCli({"-o", Utf8Path(out), "--report", "report.csv", "--volume", "200", "--head-threshold", "-60",
                "--tail-threshold", "-60", "--tail-margin", "0.5", "a.wav", "broken.wav"},
               folder.Path());
    EXPECT_EQ(result.exitStatus, 1);
    const std::string written = Utf8Path(out / "a.wav");
    EXPECT_EQ(FileText(folder / "report.csv"), CsvHeader({}) + "\n" + "a.wav," + CsvField(written) +
                                                   ",processed,,pcm16,1,8000,8,4004,2,2,0,4000,6.02,-12.47,-6.45,0\n"
                                                   "broken.wav,,failed,not a RIFF/WAVE file,,,,,,,,,,,,,\n");
}

// The fields of a row that holds no quoted field.
std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields(1);
    for (const char c : row) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

TEST(CsvReport, ALoudnessRunReportsTheLevelsItReached) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    // A 1 kHz stereo tone whose samples peak at -20 dBFS.
    WriteBytes(folder / "tone.wav", Riff({Fmt(3, 2, 48000, 32), Chunk("data", FloatSines(48000, {{2, {-20, -20}}}))}));
    const CliResult result = RunCli(
        {"-o", Utf8Path(out), "--report", "report.csv", "--loudness", "-23", "--true-peak", "tone.wav"}, folder.Path());
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
    const std::string text = FileText(folder / "report.csv");
    const std::string header = CsvHeader({true, true});
    ASSERT_EQ(text.substr(0, header.size() + 1), header + "\n");
    const std::vector<std::string> row = Fields(text.substr(header.size() + 1, text.size() - header.size() - 2));
    ASSERT_EQ(row.size(), Fields(header).size());
    const std::size_t gainDb = 13;
    const std::size_t loudnessIn = 17;
    EXPECT_EQ(row[loudnessIn], "-19.99");
    EXPECT_NEAR(std::stod(row[loudnessIn + 1]), -23.0, 0.1);
    EXPECT_NEAR(std::stod(row[loudnessIn + 1]) - std::stod(row[loudnessIn]), std::stod(row[gainDb]), 0.011);
    EXPECT_EQ(row[loudnessIn + 2], "-19.99");
    EXPECT_NEAR(std::stod(row[loudnessIn + 3]) - std::stod(row[loudnessIn + 2]), std::stod(row[gainDb]), 0.011);
}

}  // namespace
