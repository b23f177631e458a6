// The program's entry: start-up, the message loop until the main window is closed, shut-down.
#include "app/Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Shell shell;
    const bool started = StartUp(shell, instance, showCommand);
    if (started) {
        RunMessageLoop(shell.record->window);
    }
    ShutDown(shell);
    return started ? 0 : 1;
}
