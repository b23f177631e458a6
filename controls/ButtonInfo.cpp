// A push button; a click runs the batch or file-list command that its controlId names.
#include "controls/ButtonInfo.h"

#include "batch/BatchRun.h"
#include "batch/FileListCommands.h"
#include "controls/ControlIds.h"

namespace {

constexpr DWORD kPushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
static_assert(kPushButtonStyle == 0x50010000, "push button style");

}  // namespace

ButtonInfo::ButtonInfo() : ButtonInfo(nullptr) {}

ButtonInfo::ButtonInfo(HWND parent) : ButtonInfo(parent, ControlKind::Button) {}

ButtonInfo::ButtonInfo(HWND parent, ControlKind kind) : ControlItem(parent, kind) {}

void ButtonInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"BUTTON", caption, kPushButtonStyle, x, y, width, height);
    SetFont(12, 400);
}

// Only a registered button acts: its commands find the controls they change in that registry.
int ButtonInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code != BN_CLICKED || registry == nullptr) {
        return 0;
    }
    switch (controlId) {
        case ControlId::DeleteButton:
            DeleteSelectedFiles();
            break;
        case ControlId::DeleteAllButton:
            DeleteAllFiles();
            break;
        case ControlId::AddButton:
            AddFiles(GetHandle());
            break;
        case ControlId::BrowseButton:
            ChooseOutputFolder(GetHandle());
            break;
        case ControlId::Start:
            StartRun();
            break;
        case ControlId::Stop:
            StopRun();
            break;
        default:
            break;
    }
    return 0;
}
