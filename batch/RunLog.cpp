// Writes the run's steps into the log control, which may be gone once the window has closed.
#include "batch/RunLog.h"

#include "batch/OpenControl.h"
#include "controls/ControlIds.h"
#include "controls/LogInfo.h"
#include "core/RunLogText.h"

#include <cwchar>
#include <string>

namespace {

void ReplaceLog(const wchar_t* text) {
    if (LogInfo* log = FindOpenControl<LogInfo>(ControlId::Log)) {
        log->SetLogText(text, true);
    }
}

// A run's lines may come faster than a shown log takes them one by one: they go in together.
void AppendLog(const wchar_t* text) {
    if (LogInfo* log = FindOpenControl<LogInfo>(ControlId::Log)) {
        log->QueueLine(text);
    }
}

void ShowQueuedLog() {
    if (LogInfo* log = FindOpenControl<LogInfo>(ControlId::Log)) {
        log->ShowQueued();
    }
}

void AppendFolderLine(const wchar_t* folder) {
    wchar_t line[kTextCapacity] = {};
    // The count leaves the last unit zero, so a line cut at the buffer's end stays terminated.
    _snwprintf(line, kTextCapacity - 1, L"%ls%ls", kOutputFolderText, folder);
    AppendLog(line);
}

}  // namespace

void RunLog::RunStarted() {
    ReplaceLog(kRunStartText);
}

void RunLog::FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) {
    AppendLog(name);
    title_.FileStarted(number, count);
}

// The end line says that the run was interrupted; the log has no line for the file itself.
void RunLog::FileStopped(bool) {}

void RunLog::FileFailed(const FileReason& reason) {
    AppendLog(kFileErrorText);
    if (reason.kind != FileReason::Kind::None) {
        AppendLog(JapaneseText(reason).c_str());
    }
}

void RunLog::FileNote(const FileReason& note) {
    AppendLog(JapaneseText(note).c_str());
}

void RunLog::FileProgress(unsigned percent) {
    title_.FileProgress(percent);
}

void RunLog::FileEnded(const FileResult& result) {
    if (!result.audio || result.audio->clipped == 0) {
        return;
    }
    const wchar_t* text = IsFloatCoding(result.audio->coding) ? kAboveFullScaleText : kClippedText;
    AppendLog((std::to_wstring(result.audio->clipped) + text).c_str());
}

void RunLog::RunEnded(bool interrupted, const Utf16Char* folder) {
    title_.RunEnded();
    const std::wstring outcome = interrupted ? kRunInterruptedText : kRunCompletedText;
    AppendLog((outcome + L"\n").c_str());
    AppendFolderLine(folder);
    // The whole log is there when the run ends.
    ShowQueuedLog();
}
