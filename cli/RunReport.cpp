// Writes the run's log to standard output and keeps the progress line on standard error.
#include "cli/RunReport.h"

#include "cli/Platform.h"

#include <cstdio>

namespace {

// Back to the start of the line and clear it.
constexpr char kEraseLine[] = "\r\x1b[K";
// With automatic wrapping off, a name wider than the terminal is cut at its edge instead of
// spilling onto a line that the next erase would not reach.
constexpr char kWrapOff[] = "\x1b[?7l";
constexpr char kWrapOn[] = "\x1b[?7h";

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

}  // namespace

std::string PrintableText(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscape(out, "\\x%02x", byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // U+0080 to U+009F, among them the one-unit escape introducer U+009B.
            AppendEscape(out, "\\u%04x", next);
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

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
    if (!showProgress_) {
        return;
    }
    const std::string line = std::string(kEraseLine) + kWrapOff + "[" + std::to_string(number) + "/" +
                             std::to_string(count) + "] " + name + kWrapOn;
    WriteStandardStream(StandardStream::Error, line);
    progressVisible_ = true;
}

void RunReport::ClearProgress() {
    if (progressVisible_) {
        WriteStandardStream(StandardStream::Error, kEraseLine);
        progressVisible_ = false;
    }
}
