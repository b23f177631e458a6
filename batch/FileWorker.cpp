// The worker thread of a file's task, and the message pump that the user-interface thread runs
// until the worker has ended.
#include "batch/FileWorker.h"

#include "batch/BatchRun.h"
#include "batch/ClickGuard.h"
#include "controls/ScopedWin.h"

#include <process.h>

namespace {

unsigned __stdcall TaskThreadProc(void* task) {
    static_cast<FileTask*>(task)->Run();
    return 0;
}

HANDLE StartWorker(FileTask& task) {
    const uintptr_t thread = _beginthreadex(nullptr, 0, TaskThreadProc, &task, 0, nullptr);
    return reinterpret_cast<HANDLE>(thread);
}

// How often a wait without messages wakes to show the file's progress.
constexpr DWORD kProgressPollMs = 100;

// Sleeps until the worker ends or a message arrives, and dispatches messages one at a time, without
// keeping a processor busy; the file's progress is looked at between them. The worker is checked
// before each message, as the thread handle comes first.
void WaitWhilePumping(HANDLE thread, FileTask& task) {
    for (;;) {
        // MWMO_INPUTAVAILABLE also wakes for messages that an earlier look at the queue left there.
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, kProgressPollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0 + 1) {
            PumpMessage();
        } else if (woken != WAIT_TIMEOUT) {
            return;
        }
        task.PollProgress();
    }
}

}  // namespace

// The task reads the list's own copy of the path; the list is locked until the worker has ended.
bool PumpingWorker::RunToEnd(FileTask& task) {
    ThreadHandle worker(StartWorker(task));
    if (worker.Get() == nullptr) {
        return false;
    }
    WaitWhilePumping(worker.Get(), task);
    return true;
}

void PumpMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return;
    }
    if (message.message == WM_QUIT) {
        // The window was closed during a run: the message loop must still see the quit, and the run
        // ends after the file in progress.
        StopRun();
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
    }
    if (IsSecondClickOfStart(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}
