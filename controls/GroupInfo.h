// A group box; it installs GroupWindowProc so that the controls inside it are routed.
#pragma once

#include "controls/ControlItem.h"

class GroupInfo : public ControlItem {
public:
    GroupInfo();

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};
