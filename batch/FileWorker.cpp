// The run's worker threads, and the message pump that the user-interface thread runs while it
// waits for one of them.
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

// Messages served before a wait looks at the task, enough for a click's input and a close.
constexpr int kQueuedPerWait = 16;

void ServeQueuedMessages() {
    for (int served = 0; served < kQueuedPerWait; ++served) {
        if (!PumpMessage()) {
            return;
        }
    }
}

// Sleeps until the task is done or a message arrives, and dispatches messages one at a time,
// without keeping a processor busy; the task's progress is looked at between them, which is also
// how a Stop reaches a job running beside. The task's end is checked before each message, as its
// event comes first; so the messages already queued are served first, or jobs that end before they
// are waited for would keep a Stop or a close waiting until the run's end.
void WaitWhilePumping(HANDLE done, Task& task) {
    ServeQueuedMessages();
    task.PollProgress();
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

PumpingWorker::Worker::Worker()
    : taskGiven(NewEvent()),
      taskDone(NewEvent()),
      thread(taskGiven.Get() != nullptr && taskDone.Get() != nullptr
                 ? reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ServeTasks, this, 0, nullptr))
                 : nullptr) {}

PumpingWorker::Worker::~Worker() {
    if (thread.Get() == nullptr) {
        return;
    }
    task = nullptr;
    SetEvent(taskGiven.Get());
    WaitForSingleObject(thread.Get(), INFINITE);
}

unsigned __stdcall PumpingWorker::Worker::ServeTasks(void* worker) {
    auto* self = static_cast<Worker*>(worker);
    while (WaitForSingleObject(self->taskGiven.Get(), INFINITE) == WAIT_OBJECT_0 && self->task != nullptr) {
        self->task->Run();
        SetEvent(self->taskDone.Get());
    }
    return 0;
}

bool PumpingWorker::RunToEnd(Task& task) {
    if (!Start(task)) {
        return false;
    }
    Finish(task);
    return true;
}

// The task reads the run's own copy of the path. A worker whose thread could not be created is
// never free.
bool PumpingWorker::Start(Task& task) {
    for (Worker& worker : workers_) {
        if (worker.thread.Get() != nullptr && worker.task == nullptr) {
            worker.task = &task;
            SetEvent(worker.taskGiven.Get());
            return true;
        }
    }
    return false;
}

void PumpingWorker::Finish(Task& task) {
    for (Worker& worker : workers_) {
        if (worker.task == &task) {
            WaitWhilePumping(worker.taskDone.Get(), task);
            worker.task = nullptr;
        }
    }
}

bool PumpMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (message.message == WM_QUIT) {
        // The window was closed during a run: the message loop must still see the quit, and the run
        // ends after the file in progress.
        StopRun();
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (IsSecondClickOfStart(message)) {
        return true;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}
