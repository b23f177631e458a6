// The window procedure that every group box installs on itself, so that the notifications, scroll
// clicks and file drops of the controls inside it reach their objects.
#pragma once

#include <windows.h>

LRESULT CALLBACK GroupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
