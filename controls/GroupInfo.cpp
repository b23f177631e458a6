// A group box that routes the notifications of the controls inside it through GroupWindowProc.
#include "controls/GroupInfo.h"

#include "controls/GroupWindowProc.h"
#include "controls/ReplacedProcedure.h"

namespace {

constexpr DWORD kGroupStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_GROUPBOX;
// Dialog navigation (Tab and the arrow keys) enters the group box to reach the controls inside it.
constexpr DWORD kGroupExStyle = WS_EX_CONTROLPARENT;

}  // namespace

GroupInfo::GroupInfo() : ControlItem(nullptr, ControlKind::Group) {}

void GroupInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    CreateControlWindow(kGroupExStyle, L"BUTTON", caption, kGroupStyle, x, y, width, height);
    ReplaceWindowProcedure(window, GroupWindowProc);
    SetFont(12, 400);
}
