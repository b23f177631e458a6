// Owners of the Win32 handles the window side holds, each given back on every path and none
// copyable, and the guard that keeps C++ exceptions out of the system's frames.
#pragma once

#include <windows.h>
#include <shtypes.h>

#include <exception>
#include <memory>
#include <type_traits>

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

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
// A font this program made; deleted with its owner, so it must outlive every selection of it.
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// A kernel object's handle (a thread, an event), closed with its owner.
class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : handle(handle) {}
    ~KernelHandle() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

// Frees an item list that the shell made, through the shell's own allocator.
struct ShellItemListDeleter {
    void operator()(ITEMIDLIST* itemList) const;
};
using ShellItemList = std::unique_ptr<ITEMIDLIST, ShellItemListDeleter>;

using WindowMessageHandler = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs a window procedure's handler for it. An exception must not unwind through the system's
// frames; running out of memory ends the program, as it would anywhere else.
inline LRESULT CallWithoutUnwinding(WindowMessageHandler handler, HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
    try {
        return handler(window, message, wParam, lParam);
    } catch (...) {
        std::terminate();
    }
}
