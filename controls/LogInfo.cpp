// The run log: a read-only multi-line box. A line is appended at the end of the text; the whole
// text is rebuilt only where the line-by-line rule would change more than the end. Lines queued in
// quick succession are appended together.
#include "controls/LogInfo.h"

#include "app/MainWindow.h"
#include "controls/ControlRegistry.h"
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

// True when a line of text (lines end at CR LF) is longer than a log line read back can be; the
// rebuild cuts such a line, so the next append must rebuild to show the same text.
bool HasOverlongLine(const wchar_t* text) {
    constexpr size_t kLongestLine = kTextCapacity - 1;
    size_t lineLength = 0;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (p[0] == L'\r' && p[1] == L'\n') {
            lineLength = 0;
            ++p;
        } else if (++lineLength > kLongestLine) {
            return true;
        }
    }
    return false;
}

// Drops count units from the front, and one more when the cut would leave half a surrogate pair.
void DropFront(std::wstring& text, size_t count) {
    if (count < text.size() && IS_LOW_SURROGATE(text[count])) {
        ++count;
    }
    text.erase(0, count);
}

// Far from the small identifiers that the edit control's own timers take on its window.
constexpr UINT_PTR kShowTimer = 0x4C4F47;

// The timer's procedure runs instead of the control's own for its messages.
void CALLBACK ShowQueuedOnTimer(HWND window, UINT, UINT_PTR, DWORD) {
    if (auto* log = dynamic_cast<LogInfo*>(ControlRegistry::Instance().FindByWindow(window))) {
        log->ShowQueued();
    }
}

}  // namespace

LogInfo::LogInfo() : TextboxInfo(nullptr, ControlKind::Log), pacing_(kShowTimer, ShowQueuedOnTimer) {}

void LogInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"EDIT", caption, kLogStyle, x, y, width, height);
    SetFont(12, 400);
}

// The same as SetLogText without a repaint, keeping the platform's result for the caller.
LRESULT LogInfo::SetText(const wchar_t* text) {
    mayHoldOverlongLine = HasOverlongLine(text);
    return TextboxInfo::SetText(text);
}

void LogInfo::SetLogText(const wchar_t* text, bool redraw) {
    SetText(text);
    if (redraw) {
        RepaintMainWindow();
    }
}

void LogInfo::AppendLine(const wchar_t* text, bool redraw) {
    if (!AppendAtEnd(std::wstring(L"\r\n") + text)) {
        RebuildWith(text);
    }
    if (redraw) {
        RepaintMainWindow();
    }
}

void LogInfo::QueueLine(const wchar_t* text) {
    queued_.emplace_back(text);
    if (pacing_.Due()) {
        ShowQueued();
    } else {
        pacing_.ShowLater(window);
    }
}

// The lines go in with one append where each would have taken the quick way; otherwise one at a
// time, so that the text comes out as their single appends would leave it.
void LogInfo::ShowQueued() {
    pacing_.Shown(window);
    std::wstring joined;
    for (const std::wstring& line : queued_) {
        joined += L"\r\n";
        joined += line;
    }
    if (joined.empty() || AppendAtEnd(joined)) {
        queued_.clear();
        return;
    }
    for (const std::wstring& line : queued_) {
        AppendLine(line.c_str(), false);
    }
    queued_.clear();
}

// The rebuild would give the text shown plus `newest`: add just that, so a long run's log costs
// time in proportion to its length. False, and nothing added, where the rebuild is needed.
bool LogInfo::AppendAtEnd(const std::wstring& newest) {
    const size_t length = static_cast<size_t>(GetWindowTextLengthW(window));
    if (mayHoldOverlongLine || HasOverlongLine(newest.c_str()) || length + newest.size() > Room()) {
        return false;
    }
    SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(newest.c_str()));
    return true;
}

size_t LogInfo::Room() const {
    // The limit counts the terminator, so the text itself may take one unit less.
    const LRESULT limit = SendMessageW(window, EM_GETLIMITTEXT, 0, 0);
    return limit > 1 ? static_cast<size_t>(limit) - 1 : 0;
}

void LogInfo::RebuildWith(const wchar_t* text) {
    const size_t room = Room();
    std::wstring newest(text);
    std::wstring rebuilt = RebuildFromLines(window);
    if (newest.size() > room) {
        DropFront(newest, newest.size() - room);
        rebuilt.clear();
    } else if (rebuilt.size() + newest.size() > room) {
        DropFront(rebuilt, rebuilt.size() + newest.size() - room);
    }
    rebuilt += newest;
    SetText(rebuilt.c_str());
}
