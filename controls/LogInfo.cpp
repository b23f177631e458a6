// The run log: a read-only multi-line box whose whole text is rewritten on every message.
#include "controls/LogInfo.h"

#include "app/MainWindow.h"
#include "core/Utf16.h"

#include <cwchar>
#include <string>

namespace {

constexpr DWORD kLogStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                            ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY;
static_assert(kLogStyle == 0x50B008C4, "log style");

// Shows the new text at once, even while the user-interface thread is inside a long command.
void RepaintMainWindow() {
    if (currentMainWindow == nullptr) {
        return;
    }
    InvalidateRect(currentMainWindow->window, nullptr, FALSE);
    UpdateWindow(currentMainWindow->window);
}

// Every line as the control reports it, each followed by CR LF, so the next text starts a line of
// its own.
std::wstring RebuildFromLines(HWND log) {
    std::wstring text;
    wchar_t line[kTextCapacity];
    const LRESULT lineCount = SendMessageW(log, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < lineCount; ++i) {
        const int count = ReadEditLine(log, line, static_cast<int>(i));
        text.append(line, static_cast<size_t>(count));
        text.append(L"\r\n");
    }
    return text;
}

// Drops count units from the front, and one more when the cut would leave half a surrogate pair.
void DropFront(std::wstring& text, size_t count) {
    if (count < text.size() && IS_LOW_SURROGATE(text[count])) {
        ++count;
    }
    text.erase(0, count);
}

}  // namespace

LogInfo::LogInfo() : TextboxInfo(nullptr, ControlKind::Log) {}

void LogInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"EDIT", caption, kLogStyle, x, y, width, height);
    SetFont(12, 400);
}

// The same as SetLogText without a repaint, keeping the platform's result for the caller.
LRESULT LogInfo::SetText(const wchar_t* text) {
    return TextboxInfo::SetText(text);
}

void LogInfo::SetLogText(const wchar_t* text, bool redraw) {
    TextboxInfo::SetText(text);
    if (redraw) {
        RepaintMainWindow();
    }
}

void LogInfo::AppendLine(const wchar_t* text, bool redraw) {
    // The limit counts the terminator, so the text itself may take one unit less.
    const LRESULT limit = SendMessageW(window, EM_GETLIMITTEXT, 0, 0);
    const size_t room = limit > 1 ? static_cast<size_t>(limit) - 1 : 0;

    std::wstring newest(text);
    std::wstring rebuilt = RebuildFromLines(window);
    if (newest.size() > room) {
        DropFront(newest, newest.size() - room);
        rebuilt.clear();
    } else if (rebuilt.size() + newest.size() > room) {
        DropFront(rebuilt, rebuilt.size() + newest.size() - room);
    }
    rebuilt += newest;
    SetLogText(rebuilt.c_str(), redraw);
}
