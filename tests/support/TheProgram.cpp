// The program started once for the whole test program.
#include "TheProgram.h"

Shell& TheProgram() {
    // Lives as long as the process, like the program's own window.
    static Shell* const shell = [] {
        auto* started = new Shell();
        // Nothing is kept between the tests' starts.
        StartUp(*started, GetModuleHandleW(nullptr), SW_HIDE, SettingsPlaces{});
        return started;
    }();
    return *shell;
}

HWND TheMainWindow() {
    return TheProgram().record->window;
}
