// The run's worker thread, and the message pump that the user-interface thread runs while the
// worker has a task.
#include "batch/FileWorker.h"

#include "batch/BatchRun.h"
#include "batch/ClickGuard.h"

#include <process.h>

namespace {

HANDLE NewEvent() {
    // Auto-reset: each wait takes one hand-over.
    return CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

// How often a wait without messages wakes to show the file's progress.
constexpr DWORD kProgressPollMs = 100;

// Sleeps until the task is done or a message arrives, and dispatches messages one at a time,
// without keeping a processor busy; the file's progress is looked at between them. The task's end
// is checked before each message, as its event comes first.
void WaitWhilePumping(HANDLE done, Task& task) {
    for (;;) {
        // MWMO_INPUTAVAILABLE also wakes for messages that an earlier look at the queue left there.
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &done, kProgressPollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0 + 1) {
            PumpMessage();
        } else if (woken != WAIT_TIMEOUT) {
            return;
        }
        task.PollProgress();
    }
}

}  // namespace

PumpingWorker::PumpingWorker()
    : taskGiven_(NewEvent()),
      taskDone_(NewEvent()),
      thread_(taskGiven_.Get() != nullptr && taskDone_.Get() != nullptr
                  ? reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ServeTasks, this, 0, nullptr))
                  : nullptr) {}

PumpingWorker::~PumpingWorker() {
    if (thread_.Get() == nullptr) {
        return;
    }
    task_ = nullptr;
    SetEvent(taskGiven_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

unsigned __stdcall PumpingWorker::ServeTasks(void* worker) {
    auto* self = static_cast<PumpingWorker*>(worker);
    while (WaitForSingleObject(self->taskGiven_.Get(), INFINITE) == WAIT_OBJECT_0 && self->task_ != nullptr) {
        self->task_->Run();
        SetEvent(self->taskDone_.Get());
    }
    return 0;
}

// The task reads the list's own copy of the path; the list is locked until the task has ended.
bool PumpingWorker::RunToEnd(Task& task) {
    if (thread_.Get() == nullptr) {
        return false;
    }
    task_ = &task;
    SetEvent(taskGiven_.Get());
    WaitWhilePumping(taskDone_.Get(), task);
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
