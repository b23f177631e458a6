// The program's entry: start-up with the settings kept beside the program or in the application data,
// the message loop until the main window is closed, shut-down.
#include "app/Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    Shell shell;
    const bool started = StartUp(shell, instance, showCommand, SettingsPlacesOf(instance));
    if (started) {
        RunMessageLoop(shell.record->window);
    }
    ShutDown(shell);
    return started ? 0 : 1;
}
