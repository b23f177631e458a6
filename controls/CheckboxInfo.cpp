// A check box that enables and disables its dependent controls and, when unchecked, puts its group
// of processing settings back to their neutral values.
#include "controls/CheckboxInfo.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "core/ProcessingSettings.h"

namespace {

constexpr DWORD kCheckboxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
static_assert(kCheckboxStyle == 0x50010003, "check box style");

// A disabled group must not act on the next file: 0 dB means an end is not trimmed.
void WriteNeutralSettings(int32_t checkboxId) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    switch (checkboxId) {
    case ControlId::VolumeCheck:
        settings.gain = 1.0f;
        break;
    case ControlId::HeadCheck:
        settings.headThresholdDb = 0.0f;
        settings.headMarginSec = 0.0f;
        break;
    case ControlId::TailCheck:
        settings.tailThresholdDb = 0.0f;
        settings.tailMarginSec = 0.0f;
        break;
    default:
        break;
    }
}

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

// Dependents are found again by controlId, so the registered control under that identifier is the
// one switched, as every other look-up in the program does.
int CheckboxInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code != BN_CLICKED) {
        return 0;
    }
    const bool checked = SendMessageW(window, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
    const ControlRegistry& controls = ControlRegistry::Instance();
    for (const std::shared_ptr<ControlItem>& dependent : dependents) {
        if (ControlItem* control = controls.FindByControlId(dependent->controlId)) {
            control->SetEnabled(checked);
            EnableWindow(control->GetHandle(), checked);
        }
    }
    if (!checked) {
        WriteNeutralSettings(controlId);
    }
    return 0;
}
