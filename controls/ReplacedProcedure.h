// A control whose window procedure the program replaces with its own: the system's procedure is kept
// in the window's user data and gets every message that the program's own does not handle.
#pragma once

#include <windows.h>

void ReplaceWindowProcedure(HWND window, WNDPROC procedure);
LRESULT CallReplacedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
