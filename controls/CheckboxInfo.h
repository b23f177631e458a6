// A check box that enables and disables its dependent controls and sets its group of processing
// settings to what the window then shows.
#pragma once

#include "controls/ButtonInfo.h"

#include <memory>
#include <vector>

class CheckboxInfo : public ButtonInfo {
public:
    explicit CheckboxInfo(HWND parent);
    ~CheckboxInfo() override;

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

    virtual void AddDependent(const std::shared_ptr<ControlItem>& dependent);
    // Checks or unchecks the box as a click would, with its dependents and settings.
    void SetChecked(bool checked);

    std::vector<std::shared_ptr<ControlItem>> dependents;

private:
    void ApplyCheck(bool checked);
};
