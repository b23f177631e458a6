// The lines of a measuring run.
#include "cli/MeasureLog.h"

#include "cli/LevelText.h"
#include "cli/PrintableText.h"
#include "core/LevelMeasurement.h"

std::string LevelsLine(const std::string& name, const Levels& levels, bool withTruePeak) {
    std::string line = name + "  peak " + DecibelText(levels.samplePeak) + " dBFS";
    if (withTruePeak) {
        line += "  true peak " + DecibelText(levels.truePeak) + " dBTP";
    }
    line +=
        levels.loudnessMeasured ? "  loudness " + DecibelValueText(levels.loudnessLufs) + " LUFS" : "  loudness n/a";
    return line;
}

void MeasureLog::FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) {
    name_ = PrintableText(Utf8FromUtf16(name));
    report_.Progress(number, count, name_);
}

void MeasureLog::FileStopped(bool) {
    report_.FileRemark(name_, "not measured, the run was stopped");
}

void MeasureLog::FileFailed(const FileReason& reason) {
    report_.FileRemark(name_, reason.kind == FileReason::Kind::None ? "could not be measured" : EnglishText(reason));
}

void MeasureLog::FileNote(const FileReason& note) {
    report_.FileRemark(name_, EnglishText(note));
}

void MeasureLog::FileMeasured(const Levels& levels) {
    report_.Line(LevelsLine(name_, levels, withTruePeak_));
}

void MeasureLog::RunEnded(bool, const Utf16Char*) {}
