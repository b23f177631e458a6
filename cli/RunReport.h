// The run as the user sees it: the log on standard output, one line per entry; on standard error
// why a file failed or was written unchanged, and, where standard error is a terminal, a line
// naming the file in progress.
#pragma once

#include <cstddef>
#include <string>

class RunReport {
public:
    explicit RunReport(bool showProgress) : showProgress_(showProgress) {}
    ~RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    void Line(const std::string& text);
    // "NAME: text" on standard error.
    void FileRemark(const std::string& name, const std::string& text);
    // "[number/count] name" on a terminal's standard error, redrawn in place.
    void Progress(std::size_t number, std::size_t count, const std::string& name);
    // The same line with the file's percent before the name.
    void ProgressPercent(unsigned percent);

private:
    void DrawProgress(const std::string& percent);
    void ClearProgress();

    bool showProgress_;
    bool progressVisible_ = false;
    // The progress line's place in the list and its name.
    std::string progressPlace_;
    std::string progressName_;
};
