// Keeps a double click, or a click queued as the buttons swap, from starting or stopping a run that
// the user did not ask for.
#include "batch/ClickGuard.h"

#include "app/MainWindow.h"
#include "batch/OpenControl.h"
#include "controls/ControlIds.h"
#include "controls/ControlItem.h"

void DiscardQueuedMouseInputOn(HWND button) {
    RECT rectangle;
    if (!GetWindowRect(button, &rectangle)) {
        return;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) &&
           PtInRect(&rectangle, message.pt)) {
        if (!PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
            break;
        }
    }
}

bool SoonAfterStopOrRunEnd() {
    return currentMainWindow != nullptr && GetTickCount() - currentMainWindow->stopOrRunEndTick < GetDoubleClickTime();
}

// Its second press comes after the buttons swapped, so it never reached the queue that the swap
// cleared.
bool IsSecondClickOfStart(const MSG& message) {
    if (message.message != WM_LBUTTONDOWN && message.message != WM_LBUTTONDBLCLK) {
        return false;
    }
    const ControlItem* stop = FindOpenControl<ControlItem>(ControlId::Stop);
    return stop != nullptr && currentMainWindow != nullptr && message.hwnd == stop->GetHandle() &&
           message.time - currentMainWindow->runStartTick < GetDoubleClickTime();
}

void NoteRunStart() {
    if (currentMainWindow != nullptr) {
        currentMainWindow->runStartTick = GetTickCount();
    }
}

void NoteStopOrRunEnd() {
    if (currentMainWindow != nullptr) {
        currentMainWindow->stopOrRunEndTick = GetTickCount();
    }
}
