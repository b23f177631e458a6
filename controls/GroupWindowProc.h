// The window procedure that every group box installs on itself, so that the notifications, scroll
// clicks and file drops of the controls inside it reach their objects.
#pragma once

#include <windows.h>

LRESULT CALLBACK GroupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The command route shared by the main window and the group boxes: WM_COMMAND to the control whose
// childId is LOWORD(wParam).
void RouteCommand(WPARAM wParam, LPARAM lParam);

// True for a dropped name whose last '.' is followed by "wav" in any case.
bool IsWaveFileName(const wchar_t* name);
