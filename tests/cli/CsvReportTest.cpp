// The report for scripts: each kind of file's row, the quoting of names and the levels' text, and
// the file that a run writes.
#include "CliProcess.h"
#include "cli/CsvReport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

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
        EXPECT_EQ(CsvRow(row.given, row.result), row.row);
    }
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
    EXPECT_EQ(FileText(folder / "report.csv"), std::string(kCsvHeader) + "\n" + "a.wav," + CsvField(written) +
                                                   ",processed,,pcm16,1,8000,8,4004,2,2,0,4000,6.02,-12.47,-6.45,0\n"
                                                   "broken.wav,,failed,not a RIFF/WAVE file,,,,,,,,,,,,,\n");
}

}  // namespace
