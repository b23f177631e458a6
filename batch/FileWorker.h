// Runs each task of a run on a worker thread while the user-interface thread keeps dispatching
// messages, so that painting, Stop and the value boxes stay live.
#pragma once

#include "controls/ScopedWin.h"
#include "core/FileRun.h"

// One worker thread serves every file of a run: under Wine, starting and ending a thread cost as
// much as the whole job of a small file.
class PumpingWorker : public TaskRunner {
public:
    PumpingWorker();
    // Ends the thread, which has no task by then: each RunToEnd waited for its own.
    ~PumpingWorker() override;
    PumpingWorker(const PumpingWorker&) = delete;
    PumpingWorker& operator=(const PumpingWorker&) = delete;

    bool RunToEnd(Task& task) override;

private:
    static unsigned __stdcall ServeTasks(void* worker);

    // Declared before the thread, which waits on them from its start.
    KernelHandle taskGiven_;
    KernelHandle taskDone_;
    // Handed over through the events, which order the two threads' access; null ends the thread.
    Task* task_ = nullptr;
    KernelHandle thread_;
};

// Dispatches one queued message, if any, as the run's wait does.
void PumpMessage();
