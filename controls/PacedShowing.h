// The pace at which the window shows what a run changes: under Wine each change of a shown text
// costs about ten milliseconds, more than a small file's job, and a few changes a second look live.
#pragma once

#include <windows.h>

// Shows at once when nothing was shown for a moment, otherwise once the moment has passed, from a
// timer that the message pump runs.
class PacedShowing {
public:
    static constexpr DWORD kIntervalMs = 100;

    // `timerId` must differ from the other timers of the window it is used with; `onTimer` shows
    // what waits.
    PacedShowing(UINT_PTR timerId, TIMERPROC onTimer) : timerId_(timerId), onTimer_(onTimer) {}

    // True when nothing was shown yet, or not for a moment: the caller shows now.
    bool Due() const;
    // Sets the timer for the rest of the moment unless it is set; false when no timer could be set.
    bool ShowLater(HWND window);
    // What waited was shown just now: the moment starts again, and the timer is not needed.
    void Shown(HWND window);
    // Drops a timer still set.
    void Cancel(HWND window);

private:
    UINT_PTR timerId_;
    TIMERPROC onTimer_;
    bool shown_ = false;
    DWORD lastShown_ = 0;
    bool timerSet_ = false;
};
