// The main window: its record, its window procedure and its creation.
#pragma once

#include "app/SettingsStore.h"
#include "core/Utf16.h"

#include <windows.h>

#include <cstdint>

struct MainWindow {
    int32_t clientWidth = 640;
    int32_t clientHeight = 380;
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;
    // The current directory when the program started: what an empty output-folder box means, whatever
    // has moved the current directory since.
    wchar_t startFolder[kTextCapacity] = {};
    // GetTickCount of the last Stop click or run end; a Start soon after is the same click landing on
    // the shared rectangle.
    DWORD stopOrRunEndTick = 0;
    // GetTickCount when the last run started; a press on Stop soon after is the second click of a
    // double click on Start.
    DWORD runStartTick = 0;
    // Where the window's settings are kept between starts; empty places keep nothing.
    SettingsPlaces settingsPlaces;
};

// The record of the running main window; null until the window exists.
extern MainWindow* currentMainWindow;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CreateMainWindow(MainWindow& record, HINSTANCE instance, int showCommand);
