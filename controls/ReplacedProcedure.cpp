// Replacing a control's window procedure while keeping the one it replaced.
#include "controls/ReplacedProcedure.h"

void ReplaceWindowProcedure(HWND window, WNDPROC procedure) {
    const LONG_PTR replaced = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    SetWindowLongPtrW(window, GWLP_USERDATA, replaced);
}

LRESULT CallReplacedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto replaced = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return CallWindowProcW(replaced, window, message, wParam, lParam);
}
