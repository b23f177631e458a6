// Where the window's settings file is kept, and reading and writing it there: palvotrix.ini beside
// the program where its folder takes it (a portable install), else in the user's application data.
#pragma once

#include "core/WindowSettings.h"

#include <windows.h>

#include <string>

struct SettingsPlaces {
    // palvotrix.ini in the program's folder; empty when the program's path is not known.
    std::wstring besideProgram;
    // %APPDATA%\Palvotrix; empty when APPDATA is not set.
    std::wstring appDataFolder;
};

// The places of the program that `instance` is.
SettingsPlaces SettingsPlacesOf(HINSTANCE instance);

// The settings from beside the program or, when that file cannot be read, from the application data;
// all empty when neither can.
WindowSettings LoadSettings(const SettingsPlaces& places);

// Replaces the file beside the program or, when that fails, the one in the application data. A
// failure is not reported: the settings are a convenience, never a reason to stop.
void SaveSettings(const SettingsPlaces& places, const WindowSettings& settings);
