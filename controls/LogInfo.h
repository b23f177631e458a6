// The read-only run log, rewritten on every message and bounded by the control's text limit.
#pragma once

#include "controls/TextboxInfo.h"

class LogInfo : public TextboxInfo {
public:
    LogInfo();

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    LRESULT SetText(const wchar_t* text) override;

    virtual void SetLogText(const wchar_t* text, bool redraw);
    virtual void AppendLine(const wchar_t* text, bool redraw);
};
