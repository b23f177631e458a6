// Owners for a window's device context and for an object selected into a device context, so that
// both are given back on every path.
#pragma once

#include <windows.h>

class WindowDC {
public:
    explicit WindowDC(HWND window) : window(window), dc(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window, dc); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
    ~ScopedSelectObject() { SelectObject(dc, previous); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};
