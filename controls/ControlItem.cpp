// The control base: identifiers, the owned font, the logical enabled flag and window creation.
#include "controls/ControlItem.h"

#include "app/MainWindow.h"

int32_t childIdCounter = 0;

ControlItem::ControlItem(HWND parent, ControlKind kind)
    : parentWindow(parent), childId(100 + childIdCounter), kind(kind) {
    ++childIdCounter;
}

ControlItem::~ControlItem() = default;

HWND ControlItem::GetHandle() const {
    return window;
}

HWND ControlItem::GetParentHandle() const {
    if (parentWindow != nullptr) {
        return parentWindow;
    }
    return currentMainWindow != nullptr ? currentMainWindow->window : nullptr;
}

bool ControlItem::WantsPaint() const {
    return false;
}

void ControlItem::Create(int32_t id, int32_t, int32_t, int32_t, int32_t, const wchar_t*) {
    controlId = id;
}

void ControlItem::CreateUntitled(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    Create(id, x, y, width, height, L"");
}

bool ControlItem::IsEnabled() const {
    return enabled;
}

void ControlItem::SetEnabled(bool isEnabled) {
    enabled = isEnabled;
}

void ControlItem::SetFont(int32_t height, int32_t weight) {
    font.reset(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nullptr));
    if (window != nullptr) {
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
}

int ControlItem::OnCommand(int32_t, WPARAM, LPARAM) {
    return 0;
}

void ControlItem::Paint() {}

void ControlItem::CreateControlWindow(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style,
                                      int32_t x, int32_t y, int32_t width, int32_t height) {
    window =
        CreateWindowExW(exStyle, className, caption, style, x, y, width, height, GetParentHandle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId)), currentMainWindow->instance, nullptr);
}
