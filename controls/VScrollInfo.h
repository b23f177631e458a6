// A small vertical scroll bar used only for its arrows: each click steps the value of its buddy box.
#pragma once

#include "controls/ControlItem.h"

class VScrollInfo : public ControlItem {
public:
    explicit VScrollInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

    virtual void SetBuddy(HWND buddyWindow);
    virtual void SetStep(float amount);

    HWND buddy = nullptr;
    float step = 5.0f;
};
