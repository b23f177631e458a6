// Runs the listed files through the shared run, each file's job on a worker thread while this thread
// watches for Ctrl+C and the signals that end the run.
#include "cli/CliRun.h"

#include "cli/ConsoleLog.h"
#include "cli/ExitStatus.h"
#include "cli/MeasureLog.h"
#include "cli/Platform.h"
#include "core/FileRun.h"
#include "core/HelperThread.h"
#include "core/ProcessingSettings.h"

#include <array>
#include <chrono>
#include <cstdlib>

namespace {

// How soon Ctrl+C reaches a job in progress.
constexpr std::chrono::milliseconds kInterruptPoll{20};

void LoadRunSettings(const RunSettings& from, ProcessingSettings& to) {
    // The command line has refused folders that do not fit.
    Utf16Copy(to.outputFolder, kTextCapacity, from.outputFolder.c_str());
    to.SetValues(from.values);
    to.target = from.target;
}

void ForwardInterrupt(ProcessingSettings& settings) {
    if (InterruptRequested() || TerminationSignal() != 0) {
        settings.cancelRequested = true;
    }
}

// The run's tasks on worker threads that serve the whole run: the jobs of the next files while the
// one before them ends, and held outputs going into place meanwhile, as this thread forwards Ctrl+C
// to them. A thread started for each file would cost as much as a small file's job.
class PollingWorker : public TaskRunner {
public:
    PollingWorker(ProcessingSettings& settings, FileRun& run) : settings_(settings), run_(run) {}

    bool RunToEnd(Task& task) override {
        if (!Start(task)) {
            return false;
        }
        Finish(task);
        return true;
    }

    bool Start(Task& task) override {
        // A signal that came while the log waited for its reader ends the run before the job.
        if (TerminationSignal() != 0) {
            EndOnSignal();
        }
        for (Worker& worker : workers_) {
            if (worker.task == nullptr) {
                if (!worker.helper.TryStart([&task] { task.Run(); })) {
                    return false;
                }
                worker.task = &task;
                return true;
            }
        }
        return false;
    }

    void Finish(Task& task) override {
        for (Worker& worker : workers_) {
            if (worker.task == &task) {
                WaitPolling(worker);
            }
        }
    }

    // From the log, which the ending itself writes to.
    void EndOnSignalUnlessEnding() {
        if (!ending_) {
            EndOnSignal();
        }
    }

private:
    struct Worker {
        HelperThread helper;
        Task* task = nullptr;
    };

    void WaitPolling(Worker& worker) {
        while (!worker.helper.WaitFor(kInterruptPoll)) {
            if (TerminationSignal() != 0) {
                EndOnSignal();
            }
            ForwardInterrupt(settings_);
            worker.task->PollProgress();
        }
        // Ctrl+C during the last moments of a job still ends the run here.
        ForwardInterrupt(settings_);
        worker.task = nullptr;
    }

    // SIGTERM or SIGHUP: the file in progress and the held outputs are dropped, not waited for, and
    // the worker is ended with the process.
    [[noreturn]] void EndOnSignal() {
        ending_ = true;
        run_.EndAbandoningFile();
        std::_Exit(128 + TerminationSignal());
    }

    ProcessingSettings& settings_;
    FileRun& run_;
    bool ending_ = false;
    std::array<Worker, FileRun::kWorkers> workers_;
};

int ExitStatusOf(bool interrupted, bool anyFileFailed) {
    if (TerminationSignal() != 0) {
        return 128 + TerminationSignal();
    }
    if (interrupted) {
        return kExitInterrupted;
    }
    return anyFileFailed ? kExitFileFailed : kExitAllProcessed;
}

}  // namespace

int RunBatch(const RunSettings& runSettings, const std::vector<ListedFile>& files, RunReport& report, CsvReport* csv) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    LoadRunSettings(runSettings, settings);
    ConsoleLog processingLog(report, csv);
    MeasureLog measureLog(report, runSettings.target.truePeak);
    RunObserver& log = runSettings.measure ? static_cast<RunObserver&>(measureLog) : processingLog;
    FileRun run(settings, log, runSettings.measure ? MeasureFile : ProcessFileHoldingOutput);
    PollingWorker worker(settings, run);
    processingLog.EndOnSignalWith([&worker] { worker.EndOnSignalUnlessEnding(); });
    run.Start(files.size());
    for (const ListedFile& file : files) {
        if (file.refusal != FileReason::Kind::None) {
            run.RefuseFile(file.path.c_str(), file.refusal);
        } else if (!run.RunFile(file.path.c_str(), worker)) {
            break;
        }
    }
    const bool interrupted = run.End(worker);
    return ExitStatusOf(interrupted, run.AnyFileFailed());
}
