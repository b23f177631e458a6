// A check box that enables and disables its dependent controls and sets its group of processing
// settings to what the window then shows: the boxes' values, or neutral values when unchecked.
#include "controls/CheckboxInfo.h"

#include "batch/BatchRun.h"
#include "controls/ControlRegistry.h"

namespace {

constexpr DWORD kCheckboxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
static_assert(kCheckboxStyle == 0x50010003, "check box style");

}  // namespace

CheckboxInfo::CheckboxInfo(HWND parent) : ButtonInfo(parent, ControlKind::Checkbox) {}

CheckboxInfo::~CheckboxInfo() = default;

void CheckboxInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"BUTTON", caption, kCheckboxStyle, x, y, width, height);
    SendMessageW(window, BM_SETCHECK, BST_CHECKED, 0);
    SetFont(12, 400);
}

void CheckboxInfo::AddDependent(const std::shared_ptr<ControlItem>& dependent) {
    dependents.push_back(dependent);
}

int CheckboxInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code == BN_CLICKED) {
        ApplyCheck(SendMessageW(window, BM_GETCHECK, 0, 0) != BST_UNCHECKED);
    }
    return 0;
}

void CheckboxInfo::SetChecked(bool checked) {
    SendMessageW(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    ApplyCheck(checked);
}

// Dependents are found again by controlId, so the registered control under that identifier is the
// one switched, as every other look-up in the program does.
void CheckboxInfo::ApplyCheck(bool checked) {
    const ControlRegistry& controls = ControlRegistry::Instance();
    for (const std::shared_ptr<ControlItem>& dependent : dependents) {
        if (ControlItem* control = controls.FindByControlId(dependent->controlId)) {
            control->SetEnabled(checked);
            EnableWindow(control->GetHandle(), checked);
        }
    }
    // The values follow what the window now shows: the boxes' values when checked, neutral when not.
    // During a run each file takes them at its start instead, so that no file changes half-way.
    if (!RunInProgress()) {
        CaptureSettingsOf(controlId);
    }
}
