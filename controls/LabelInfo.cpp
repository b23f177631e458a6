// A static text; its geometry and caption are kept as they were given.
#include "controls/LabelInfo.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;

}  // namespace

LabelInfo::LabelInfo(HWND parent) : ControlItem(parent, ControlKind::Label) {}

void LabelInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    CreateControlWindow(0, L"STATIC", caption, kLabelStyle, x, y, width, height);
    controlId = id;
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    // The record keeps what fits; the window shows the whole caption.
    wcsncpy(this->caption, caption, std::size(this->caption) - 1);
    this->caption[std::size(this->caption) - 1] = L'\0';
    SetFont(12, 400);
}
