// A push button; a click runs the batch command of its controlId.
#pragma once

#include "controls/ControlItem.h"

class ButtonInfo : public ControlItem {
public:
    ButtonInfo();
    explicit ButtonInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

protected:
    ButtonInfo(HWND parent, ControlKind kind);
};
