// The run as the command line shows it: the log on standard output in the window's words, and on
// standard error, after the file's name, why it failed, was written unchanged or was stopped.
#pragma once

#include "cli/CsvReport.h"
#include "cli/RunReport.h"
#include "core/RunObserver.h"

#include <functional>
#include <string>
#include <utility>

class ConsoleLog : public RunObserver {
public:
    // `csv` takes each file's row; none without --report.
    ConsoleLog(RunReport& report, CsvReport* csv) : report_(report), csv_(csv) {}

    void RunStarted() override;
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) override;
    void FileStopped(bool written) override;
    void FileFailed(const FileReason& reason) override;
    void FileNote(const FileReason& note) override;
    void FileProgress(unsigned percent) override;
    void FileEnded(const FileResult& result) override;
    void RunEnded(bool interrupted, const Utf16Char* folder) override;

    // Called, once, when a termination signal has come by the time a file's name is shown: the
    // files after it may be in place already, and the run must say so before the log gives up.
    void EndOnSignalWith(std::function<void()> end) { endOnSignal_ = std::move(end); }

private:
    std::function<void()> endOnSignal_;
    RunReport& report_;
    CsvReport* csv_;
    // The file in progress, as printed, and its place in the list.
    std::string name_;
    std::size_t number_ = 0;
};
