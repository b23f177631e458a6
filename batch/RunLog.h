// The run as the window shows it: one line per step in the log, in Japanese, and the progress in
// the title.
#pragma once

#include "batch/RunTitle.h"
#include "core/RunObserver.h"

class RunLog : public RunObserver {
public:
    // The title shows the run's progress while the log shows its lines.
    explicit RunLog(RunTitle& title) : title_(title) {}

    void RunStarted() override;
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) override;
    void FileStopped(bool written) override;
    void FileFailed(const FileReason& reason) override;
    void FileNote(const FileReason& note) override;
    void FileProgress(unsigned percent) override;
    void FileEnded(const FileResult& result) override;
    void RunEnded(bool interrupted, const Utf16Char* folder) override;

private:
    RunTitle& title_;
};
