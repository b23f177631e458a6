// The routes from window messages to control objects, each a look-up in the registry followed by
// one call on the control found.
#include "controls/MessageRouting.h"

#include "batch/BatchRun.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "core/Utf16.h"

namespace {

constexpr UINT kNameCapacity = static_cast<UINT>(kTextCapacity);

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

}  // namespace

void RouteCommand(WPARAM wParam, LPARAM lParam) {
    ControlItem* control = ControlRegistry::Instance().FindByChildId(LOWORD(wParam));
    if (control != nullptr) {
        control->OnCommand(HIWORD(wParam), wParam, lParam);
    }
}

void RouteScroll(WPARAM wParam, LPARAM lParam) {
    ControlItem* scrollBar = ControlRegistry::Instance().FindByWindow(reinterpret_cast<HWND>(lParam));
    if (scrollBar != nullptr) {
        scrollBar->OnCommand(WM_VSCROLL, wParam, lParam);
    }
}

bool RouteDrop(HDROP drop) {
    ControlItem* control = ControlRegistry::Instance().FindByControlId(ControlId::FileList);
    if (control == nullptr || control->kind != ControlKind::Listbox) {
        return false;
    }
    // The list must not change while a run's worker reads its paths.
    if (!RunInProgress()) {
        AddDroppedNames(drop, static_cast<ListboxInfo&>(*control));
    }
    DragFinish(drop);
    return true;
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
