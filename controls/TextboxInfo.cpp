// The plain single-line text box, and the one routine that reads a line back from an edit control.
#include "controls/TextboxInfo.h"

#include "core/Utf16.h"

namespace {

constexpr DWORD kTextStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
static_assert(kTextStyle == 0x50810080, "text box style");

}  // namespace

TextboxInfo::TextboxInfo(HWND parent) : TextboxInfo(parent, ControlKind::Textbox) {}

TextboxInfo::TextboxInfo(HWND parent, ControlKind kind) : ControlItem(parent, kind) {}

void TextboxInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"EDIT", caption, kTextStyle, x, y, width, height);
    SetFont(12, 400);
}

LRESULT TextboxInfo::SetText(const wchar_t* text) {
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

int ReadEditLine(HWND edit, wchar_t* out, int line) {
    // EM_GETLINE takes its capacity from the first unit and writes no terminator; one unit is kept
    // back for it.
    constexpr LRESULT kMaxCount = static_cast<LRESULT>(kTextCapacity) - 1;
    out[0] = static_cast<wchar_t>(kMaxCount);
    LRESULT count = SendMessageW(edit, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(out));
    if (count < 0) {
        count = 0;
    } else if (count > kMaxCount) {
        count = kMaxCount;
    }
    out[count] = L'\0';
    return static_cast<int>(count);
}
