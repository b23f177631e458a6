// The program's own start-up, run once per test process (hidden, without the message loop), so
// the tests see the main window and the 34 controls exactly as wWinMain makes them.
#pragma once

#include "app/Startup.h"

inline Shell& StartedShell() {
    static Shell* const shell = [] {
        auto* started = new Shell();
        StartUp(*started, GetModuleHandleW(nullptr), SW_HIDE);
        return started;
    }();
    return *shell;
}

inline HWND MainWindowHandle() {
    return StartedShell().record->window;
}
