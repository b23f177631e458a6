// The main window: its record, its window procedure and its creation.
#pragma once

#include <windows.h>

#include <cstdint>

struct MainWindow {
    int32_t clientWidth = 640;
    int32_t clientHeight = 380;
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;
};

// The record of the running main window; null until the window exists.
extern MainWindow* currentMainWindow;
extern HFONT defaultFont;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CreateMainWindow(MainWindow& record, HINSTANCE instance, int showCommand);
