// The routes from window messages to control objects: commands by childId, scroll clicks by the
// scroll bar's window, and file drops onto the file list. The main window and the group boxes
// both use them.
#pragma once

#include <windows.h>
#include <shellapi.h>

// WM_COMMAND to the control whose childId is LOWORD(wParam).
void RouteCommand(WPARAM wParam, LPARAM lParam);

// WM_VSCROLL to the control whose window is lParam.
void RouteScroll(WPARAM wParam, LPARAM lParam);

// Adds the dropped wave files to the file list and finishes the drop. False, with the drop left
// untouched, when there is no file list to take it.
bool RouteDrop(HDROP drop);

// True for a dropped name whose last '.' is followed by "wav" in any case.
bool IsWaveFileName(const wchar_t* name);
