// Start-up and shut-down of the user-interface thread, each a fixed sequence of steps; wWinMain runs
// StartUp, the message loop and ShutDown, and the tests run the same start-up without the loop.
#pragma once

#include "app/MainWindow.h"
#include "controls/ScopedWin.h"

#include <memory>
#include <optional>

// The members are declared in the order they are made, so even without ShutDown they go in reverse
// and the font outlives its selection into the record's device context.
struct Shell {
    // The main window's font; each control makes its own.
    OwnedFont defaultFont;
    std::unique_ptr<MainWindow> record;
    // The default font stays selected into the main window's device context until shut-down.
    std::optional<ScopedSelectObject> fontSelection;
};

// Makes the default font, the main window and its controls, which then show the settings kept at
// `settingsPlaces`. False when the main window could not be made; ShutDown is due either way.
bool StartUp(Shell& shell, HINSTANCE instance, int showCommand, const SettingsPlaces& settingsPlaces);

// Runs until WM_QUIT, giving the main window the dialog keyboard interface (tab stops).
void RunMessageLoop(HWND mainWindow);

void ShutDown(Shell& shell);
