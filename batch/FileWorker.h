// Runs each task of a run on a worker thread while the user-interface thread keeps dispatching
// messages, so that painting, Stop and the value boxes stay live.
#pragma once

#include "controls/ScopedWin.h"
#include "core/FileRun.h"

#include <array>

// Worker threads serve every file of a run: the jobs of the next files while the one before them
// ends, and held outputs going into place meanwhile, so that two processor cores share the work of
// many small files. They serve the whole run because under Wine, starting and ending a thread cost
// as much as the whole job of a small file.
class PumpingWorker : public TaskRunner {
public:
    PumpingWorker() = default;
    PumpingWorker(const PumpingWorker&) = delete;
    PumpingWorker& operator=(const PumpingWorker&) = delete;

    bool RunToEnd(Task& task) override;
    bool Start(Task& task) override;
    void Finish(Task& task) override;

private:
    // One thread and its hand-over.
    struct Worker {
        Worker();
        // Ends the thread, which has no task by then: each Start was followed by a Finish.
        ~Worker();
        Worker(const Worker&) = delete;
        Worker& operator=(const Worker&) = delete;

        static unsigned __stdcall ServeTasks(void* worker);

        // Declared before the thread, which waits on them from its start.
        KernelHandle taskGiven;
        KernelHandle taskDone;
        // Handed over through the events, which order the two threads' access; null while the
        // worker is free, and when given, ends the thread.
        Task* task = nullptr;
        KernelHandle thread;
    };

    std::array<Worker, FileRun::kWorkers> workers_;
};

// Dispatches one queued message, if any, as the run's wait does; false when there was none, or only
// the quit, which stays queued for the message loop.
bool PumpMessage();
