// The read-only run log: lines appended at its end, bounded by the control's text limit.
#pragma once

#include "controls/PacedShowing.h"
#include "controls/TextboxInfo.h"

#include <string>
#include <vector>

class LogInfo : public TextboxInfo {
public:
    LogInfo();

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    LRESULT SetText(const wchar_t* text) override;

    virtual void SetLogText(const wchar_t* text, bool redraw);
    virtual void AppendLine(const wchar_t* text, bool redraw);

    // Appends the line at once when none was shown for a moment, otherwise soon after, together
    // with the lines queued meanwhile: from a timer, which the message pump runs, or ShowQueued.
    void QueueLine(const wchar_t* text);
    // Appends the queued lines now, in their order, as AppendLine would one by one.
    void ShowQueued();

private:
    bool AppendAtEnd(const std::wstring& newest);
    // The units the text may hold.
    size_t Room() const;
    // The whole text read back line by line, then the new line, the oldest units dropped to fit.
    void RebuildWith(const wchar_t* text);

    bool mayHoldOverlongLine = false;
    std::vector<std::wstring> queued_;
    PacedShowing pacing_;
};
