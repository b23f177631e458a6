// A run over a list of files, the same in the window and on the command line: each listed file's
// steps (the refusals before its job, the job, its outcome) and the lines they show, reported to a
// RunObserver. The front end keeps its threads: it runs each file's task on a worker of its own.
#pragma once

#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/ProgressPacer.h"
#include "core/RunObserver.h"
#include "core/WrittenOutputs.h"

#include <cstddef>

// The job one listed file gets: ProcessFile, or a stand-in where a test drives the run.
using FileJob = void (*)(ProcessingSettings& settings, const Utf16Char* inputPath);

class FileRun;

// One listed file's job, ready for the front end's worker thread.
class FileTask {
public:
    FileTask(FileJob job, ProcessingSettings& settings, const Utf16Char* path, FileRun& run)
        : job_(job), settings_(settings), path_(path), run_(run) {}

    // Nothing escapes a worker's entry: a job that throws is a failed file, and the run goes on.
    void Run() noexcept;
    // For the front end's thread while it waits for the worker, as often as it likes: shows how
    // far the job is when that is due.
    void PollProgress();

private:
    FileJob job_;
    ProcessingSettings& settings_;
    const Utf16Char* path_;
    FileRun& run_;
};

// How a front end runs a task: on its worker, while it keeps its window or its signals served.
class TaskRunner {
public:
    virtual ~TaskRunner() = default;
    // Returns once the task has ended; false when no worker could be started for it.
    virtual bool RunToEnd(FileTask& task) = 0;
};

class FileRun {
public:
    FileRun(ProcessingSettings& settings, RunObserver& observer, FileJob job = ProcessFile)
        : settings_(settings), observer_(observer), job_(job) {}
    FileRun(const FileRun&) = delete;
    FileRun& operator=(const FileRun&) = delete;

    // The output folder's text does not fit a path: every file is refused rather than written
    // somewhere a cut path names, and the end shows the text as it was read.
    void RefuseForLongFolder(const Utf16Char* folderText);

    // Clears a stop left over from an earlier run; `count` files are listed.
    void Start(std::size_t count);
    // Runs the next listed file. False when a stop was asked for: no further file may start.
    bool RunFile(const Utf16Char* path, TaskRunner& runner);
    // Refuses the next listed file before anything is done with it, e.g. for a path that cannot be
    // spelt in a path buffer; `path` is the listed path as it is to be shown.
    void RefuseFile(const Utf16Char* path, FileReason::Kind why);
    // Shows the end and clears the stop; true when the run was stopped.
    bool End();
    // For a run ended by a signal, also while a worker still runs: the file in progress is never put
    // in place if it was not already, the log says which, and the run ends as stopped.
    void EndAbandoningFile();

    bool AnyFileFailed() const { return anyFileFailed_; }

    // See FileTask::PollProgress; `now` is the time of the poll.
    void PollProgress(ProgressPacer::Clock::time_point now);

private:
    void RunJob(const Utf16Char* path, TaskRunner& runner);
    void Refuse(FileReason::Kind why);
    void ReportOutcome(const Utf16Char* path);
    FileResult ResultOf(const Utf16Char* path) const;
    void ReportEnd(bool interrupted);

    ProcessingSettings& settings_;
    RunObserver& observer_;
    FileJob job_;
    WrittenOutputs written_;
    bool folderTooLong_ = false;
    Utf16String folderText_;
    // The path of the file that RunFile showed last: the one a signal can find at its job.
    Utf16String current_;
    std::size_t count_ = 0;
    std::size_t number_ = 0;
    bool anyFileFailed_ = false;
    ProgressPacer pacer_;
};
