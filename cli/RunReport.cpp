// Writes the run's log to standard output and keeps the progress line on standard error.
#include "cli/RunReport.h"

#include <cstdio>

namespace {

// Back to the start of the line and clear it.
constexpr char kEraseLine[] = "\r\x1b[K";
// With automatic wrapping off, a name wider than the terminal is cut at its edge instead of
// spilling onto a line that the next erase would not reach.
constexpr char kWrapOff[] = "\x1b[?7l";
constexpr char kWrapOn[] = "\x1b[?7h";

}  // namespace

RunReport::~RunReport()
{
    ClearProgress();
}

void RunReport::Line(const std::string& text)
{
    // On a terminal both streams share the screen: the log line must not land inside the progress line.
    ClearProgress();
    std::fputs((text + '\n').c_str(), stdout);
    // Each line shows while the run goes on, also through a pipe.
    std::fflush(stdout);
}

void RunReport::FileRemark(const std::string& name, const std::string& text)
{
    ClearProgress();
    std::fputs((name + ": " + text + '\n').c_str(), stderr);
    std::fflush(stderr);
}

void RunReport::Progress(std::size_t number, std::size_t count, const std::string& name)
{
    if (!showProgress_) {
        return;
    }
    const std::string line = std::string(kEraseLine) + kWrapOff + "[" + std::to_string(number) + "/"
                             + std::to_string(count) + "] " + name + kWrapOn;
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    progressVisible_ = true;
}

void RunReport::ClearProgress()
{
    if (progressVisible_) {
        std::fputs(kEraseLine, stderr);
        std::fflush(stderr);
        progressVisible_ = false;
    }
}
