// The routes from window messages to control objects: commands by childId, scroll clicks by the
// scroll bar's window, and file drops onto the file list.
#include "controls/GroupWindowProc.h"

#include "app/MainWindow.h"
#include "batch/BatchRun.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/ScopedWin.h"

#include <shellapi.h>

namespace {

constexpr UINT kNameCapacity = 512;

WNDPROC ReplacedProcedure(HWND group) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(group, GWLP_USERDATA));
}

LRESULT CallReplaced(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(ReplacedProcedure(group), group, message, wParam, lParam);
}

void RouteScroll(WPARAM wParam, LPARAM lParam) {
    ControlItem* scrollBar = ControlRegistry::Instance().FindByWindow(reinterpret_cast<HWND>(lParam));
    if (scrollBar != nullptr) {
        scrollBar->OnCommand(WM_VSCROLL, wParam, lParam);
    }
}

// Labels and check boxes sit on the group box's face, so they get no brush of their own.
LRESULT AnswerControlColor(WPARAM wParam, LPARAM lParam, ControlKind transparentKind) {
    ControlItem* control = ControlRegistry::Instance().FindByWindow(reinterpret_cast<HWND>(lParam));
    if (control == nullptr || control->kind != transparentKind) {
        return 0;
    }
    SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

// A name longer than the buffer is skipped rather than cut: a cut path would name another file.
void AddDroppedNames(HDROP drop, ListboxInfo& list) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count; ++index) {
        if (DragQueryFileW(drop, index, nullptr, 0) >= kNameCapacity) {
            continue;
        }
        wchar_t name[kNameCapacity] = {};
        DragQueryFileW(drop, index, name, kNameCapacity);
        if (IsWaveFileName(name)) {
            list.AddFile(name);
        }
    }
}

LRESULT HandleDrop(HWND group, WPARAM wParam, LPARAM lParam) {
    ControlItem* control = ControlRegistry::Instance().FindByControlId(ControlId::FileList);
    if (control == nullptr || control->kind != ControlKind::Listbox) {
        return CallReplaced(group, WM_DROPFILES, wParam, lParam);
    }
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    // The list must not change while a run's worker reads its paths.
    if (!RunInProgress()) {
        AddDroppedNames(drop, static_cast<ListboxInfo&>(*control));
    }
    DragFinish(drop);
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
        return CallReplaced(group, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK GroupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWithoutUnwinding(HandleGroupMessage, window, message, wParam, lParam);
}

void RouteCommand(WPARAM wParam, LPARAM lParam) {
    ControlItem* control = ControlRegistry::Instance().FindByChildId(LOWORD(wParam));
    if (control != nullptr) {
        control->OnCommand(HIWORD(wParam), wParam, lParam);
    }
}

bool IsWaveFileName(const wchar_t* name) {
    const wchar_t* lastDot = nullptr;
    for (const wchar_t* unit = name; *unit != L'\0'; ++unit) {
        if (*unit == L'.') {
            lastDot = unit;
        }
    }
    if (lastDot == nullptr) {
        return false;
    }
    const auto sameLetter = [](wchar_t unit, wchar_t lower) { return unit == lower || unit == lower - (L'a' - L'A'); };
    // A terminator stops the comparison before anything past the name is read.
    return sameLetter(lastDot[1], L'w') && sameLetter(lastDot[2], L'a') && sameLetter(lastDot[3], L'v');
}
