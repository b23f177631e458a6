// Turns the run's steps into lines on standard output and standard error.
#include "cli/ConsoleLog.h"

#include "cli/Platform.h"
#include "cli/PrintableText.h"
#include "core/RunLogText.h"

#include <utility>

namespace {

// Notes on standard error, after the file's name.
constexpr char kWrittenText[] = "written before the run stopped";
constexpr char kNotWrittenText[] = "not written, the run was stopped";
// After the number of samples.
constexpr char kClippedEnglish[] = " samples clipped";
constexpr char kAboveFullScaleEnglish[] = " samples above full scale";

}  // namespace

void ConsoleLog::RunStarted() {
    report_.Line(Utf8FromUtf16(kRunStartText));
}

void ConsoleLog::FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) {
    name_ = PrintableText(Utf8FromUtf16(name));
    number_ = number;
    report_.Line(name_);
    report_.Progress(number, count, name_);
    if (endOnSignal_ && TerminationSignal() != 0) {
        std::exchange(endOnSignal_, nullptr)();
    }
}

void ConsoleLog::FileStopped(bool written) {
    report_.FileRemark(name_, written ? kWrittenText : kNotWrittenText);
}

void ConsoleLog::FileFailed(const FileReason& reason) {
    report_.Line(Utf8FromUtf16(kFileErrorText));
    if (reason.kind != FileReason::Kind::None) {
        report_.FileRemark(name_, EnglishText(reason));
    }
}

void ConsoleLog::FileNote(const FileReason& note) {
    report_.FileRemark(name_, EnglishText(note));
}

void ConsoleLog::FileProgress(unsigned percent) {
    report_.ProgressPercent(percent);
}

void ConsoleLog::FileEnded(const FileResult& result) {
    if (result.audio && result.audio->clipped > 0) {
        const char* text = IsFloatCoding(result.audio->coding) ? kAboveFullScaleEnglish : kClippedEnglish;
        report_.FileRemark(name_, std::to_string(result.audio->clipped) + text);
    }
    if (csv_ != nullptr) {
        csv_->Row(number_, result);
    }
}

void ConsoleLog::RunEnded(bool interrupted, const Utf16Char* folder) {
    report_.Line(Utf8FromUtf16(interrupted ? kRunInterruptedText : kRunCompletedText));
    report_.Line(Utf8FromUtf16(kOutputFolderText) + PrintableText(Utf8FromUtf16(folder)));
}
