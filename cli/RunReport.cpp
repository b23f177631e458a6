// Writes the run's log to standard output and keeps the progress line on standard error.
#include "cli/RunReport.h"

#include "cli/Platform.h"

namespace {

// Back to the start of the line and clear it.
constexpr char kEraseLine[] = "\r\x1b[K";
// With automatic wrapping off, a name wider than the terminal is cut at its edge instead of
// spilling onto a line that the next erase would not reach.
constexpr char kWrapOff[] = "\x1b[?7l";
constexpr char kWrapOn[] = "\x1b[?7h";

}  // namespace

RunReport::~RunReport() {
    ClearProgress();
}

void RunReport::Line(const std::string& text) {
    // On a terminal both streams share the screen: the log line must not land inside the progress line.
    ClearProgress();
    WriteStandardStream(StandardStream::Output, text + '\n');
}

void RunReport::FileRemark(const std::string& name, const std::string& text) {
    ClearProgress();
    WriteStandardStream(StandardStream::Error, name + ": " + text + '\n');
}

void RunReport::Progress(std::size_t number, std::size_t count, const std::string& name) {
    progressPlace_ = "[" + std::to_string(number) + "/" + std::to_string(count) + "] ";
    progressName_ = name;
    DrawProgress("");
}

// Before the name, which a narrow terminal cuts at its edge.
void RunReport::ProgressPercent(unsigned percent) {
    DrawProgress(std::to_string(percent) + " % ");
}

void RunReport::DrawProgress(const std::string& percent) {
    if (!showProgress_) {
        return;
    }
    const std::string line = std::string(kEraseLine) + kWrapOff + progressPlace_ + percent + progressName_ + kWrapOn;
    WriteStandardStream(StandardStream::Error, line);
    progressVisible_ = true;
}

void RunReport::ClearProgress() {
    if (progressVisible_) {
        WriteStandardStream(StandardStream::Error, kEraseLine);
        progressVisible_ = false;
    }
}
