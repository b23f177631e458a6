// The read-only run log: lines appended at its end, bounded by the control's text limit.
#pragma once

#include "controls/TextboxInfo.h"

class LogInfo : public TextboxInfo {
public:
    LogInfo();

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    LRESULT SetText(const wchar_t* text) override;

    virtual void SetLogText(const wchar_t* text, bool redraw);
    virtual void AppendLine(const wchar_t* text, bool redraw);

private:
    // The whole text read back line by line, then the new line, the oldest units dropped to fit.
    void RebuildWith(const wchar_t* text, size_t room, bool redraw);

    bool mayHoldOverlongLine = false;
};
