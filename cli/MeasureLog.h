// The run of --measure as the command line shows it: one line of levels per file on standard
// output, and on standard error, after the file's name, why it was not measured.
#pragma once

#include "cli/RunReport.h"
#include "core/RunObserver.h"

#include <string>

// "NAME  peak -3.21 dBFS  true peak -2.87 dBTP  loudness -18.40 LUFS": ASCII, two decimals, -inf
// for silence; the true peak only when it was measured, the loudness "n/a" at a rate it is not
// measured at.
std::string LevelsLine(const std::string& name, const Levels& levels, bool withTruePeak);

class MeasureLog : public RunObserver {
public:
    MeasureLog(RunReport& report, bool withTruePeak) : report_(report), withTruePeak_(withTruePeak) {}

    void RunStarted() override {}
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) override;
    void FileStopped(bool written) override;
    void FileFailed(const FileReason& reason) override;
    void FileNote(const FileReason& note) override;
    void FileMeasured(const Levels& levels) override;
    void RunEnded(bool interrupted, const Utf16Char* folder) override;

private:
    RunReport& report_;
    bool withTruePeak_;
    // The file in progress, as printed.
    std::string name_;
};
