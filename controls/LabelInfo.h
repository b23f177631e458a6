// A static text.
#pragma once

#include "controls/ControlItem.h"

class LabelInfo : public ControlItem {
public:
    explicit LabelInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    wchar_t caption[512] = {};
};
