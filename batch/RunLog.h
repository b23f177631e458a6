// The run as the window's log shows it: one line per step, in Japanese.
#pragma once

#include "core/RunObserver.h"

class RunLog : public RunObserver {
public:
    void RunStarted() override;
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) override;
    void FileStopped(bool written) override;
    void FileFailed(const FileReason& reason) override;
    void FileNote(const FileReason& note) override;
    void RunEnded(bool interrupted, const Utf16Char* folder) override;
};
