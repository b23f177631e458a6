// The pace at which the window shows what a run changes.
#include "controls/PacedShowing.h"

#include <algorithm>

bool PacedShowing::Due() const {
    return !shown_ || GetTickCount() - lastShown_ >= kIntervalMs;
}

bool PacedShowing::ShowLater(HWND window) {
    if (!timerSet_) {
        const DWORD wait = kIntervalMs - std::min(kIntervalMs, GetTickCount() - lastShown_);
        timerSet_ = SetTimer(window, timerId_, wait, onTimer_) != 0;
    }
    return timerSet_;
}

void PacedShowing::Shown(HWND window) {
    Cancel(window);
    shown_ = true;
    lastShown_ = GetTickCount();
}

void PacedShowing::Cancel(HWND window) {
    if (timerSet_) {
        KillTimer(window, timerId_);
        timerSet_ = false;
    }
}
