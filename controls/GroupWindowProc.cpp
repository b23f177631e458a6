// The group box's window procedure: commands go on to the main window's procedure, scroll clicks
// and drops to their routes, and the colour questions of the controls on its face are answered here.
#include "controls/GroupWindowProc.h"

#include "app/MainWindow.h"
#include "controls/ControlRegistry.h"
#include "controls/MessageRouting.h"
#include "controls/ReplacedProcedure.h"
#include "controls/ScopedWin.h"

namespace {

// Labels sit on the group box's face, so they get no brush of their own and show the face through.
// A check box paints with WM_CTLCOLORSTATIC like a label but is answered 0, the system's own brush;
// the system sends WM_CTLCOLORBTN only for push buttons, so the check-box answer there is never asked.
LRESULT AnswerControlColor(WPARAM wParam, LPARAM lParam, ControlKind transparentKind) {
    ControlItem* control = ControlRegistry::Instance().FindByWindow(reinterpret_cast<HWND>(lParam));
    if (control == nullptr || control->kind != transparentKind) {
        return 0;
    }
    SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

LRESULT HandleDrop(HWND group, WPARAM wParam, LPARAM lParam) {
    if (!RouteDrop(reinterpret_cast<HDROP>(wParam))) {
        return CallReplacedProcedure(group, WM_DROPFILES, wParam, lParam);
    }
    return 0;
}

LRESULT HandleGroupMessage(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return 1;
        case WM_COMMAND:
            return CallWindowProcW(MainWndProc, group, message, wParam, lParam);
        case WM_VSCROLL:
            RouteScroll(wParam, lParam);
            return 0;
        case WM_CTLCOLORBTN:
            return AnswerControlColor(wParam, lParam, ControlKind::Checkbox);
        case WM_CTLCOLORSTATIC:
            return AnswerControlColor(wParam, lParam, ControlKind::Label);
        case WM_DROPFILES:
            return HandleDrop(group, wParam, lParam);
        default:
            return CallReplacedProcedure(group, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK GroupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWithoutUnwinding(HandleGroupMessage, window, message, wParam, lParam);
}
