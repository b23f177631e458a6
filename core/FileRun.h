// A run over a list of files, the same in the window and on the command line: each listed file's
// steps (the refusals before its job, the job, its outcome) and the lines they show, reported to a
// RunObserver. The front end keeps its threads: it runs each file's task on a worker of its own.
#pragma once

#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/ProgressPacer.h"
#include "core/RunObserver.h"
#include "core/WrittenOutputs.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

// The job one listed file gets: ProcessFile, or a stand-in where a test drives the run.
using FileJob = void (*)(ProcessingSettings& settings, const Utf16Char* inputPath);

class FileRun;

// What a run has a front end's worker do: a file's job, or putting held outputs in place.
class Task {
public:
    virtual ~Task() = default;
    // Nothing escapes a worker's entry.
    virtual void Run() noexcept = 0;
    // For the front end's thread while it waits for the worker, as often as it likes.
    virtual void PollProgress() {}
};

// One listed file's job, ready for the front end's worker thread.
class FileTask : public Task {
public:
    FileTask(FileJob job, ProcessingSettings& settings, const Utf16Char* path, FileRun& run)
        : job_(job), settings_(settings), path_(path), run_(run) {}

    // A job that throws is a failed file, and the run goes on.
    void Run() noexcept override;
    // Shows how far the job is when that is due.
    void PollProgress() override;

private:
    FileJob job_;
    ProcessingSettings& settings_;
    const Utf16Char* path_;
    FileRun& run_;
};

// Puts held outputs in place on a front end's worker, as their flushes may take a while. An output
// counts as not in place until the writer says it is.
class PlacingTask : public Task {
public:
    explicit PlacingTask(std::size_t count) : reasons_(count, FileReason(FileReason::Kind::CannotWrite)) {}

    void Run() noexcept override;

    // True once Run has returned or is about to: its reasons are final.
    bool Ended() const { return ended_; }
    const std::vector<FileReason>& Reasons() const { return reasons_; }

private:
    std::vector<FileReason> reasons_;
    std::atomic<bool> ended_{false};
};

// How a front end runs a task: on its worker, while it keeps its window or its signals served.
class TaskRunner {
public:
    virtual ~TaskRunner() = default;
    // Returns once the task has ended; false when no worker could be started for it.
    virtual bool RunToEnd(Task& task) = 0;
    // A runner with more than one worker starts the task on a free one and returns at once: a file's
    // job then runs while the one before it ends, and held outputs go into place meanwhile, so that
    // two processor cores share the work of many small files and neither waits for the disk. False,
    // with the task unrun, where no worker is free.
    virtual bool Start(Task&) { return false; }
    // Returns once `task`, which Start started, has ended, serving the front end meanwhile as
    // RunToEnd does.
    virtual void Finish(Task&) {}
};

// Complete outputs are held and put in place a group at a time, so that the disk's flushes serve
// many small files at once; where the front end has a worker free, a group goes into place while
// the next files run. A file that takes long has those before it placed as its progress shows.
// Where the front end has the workers, the next files' jobs start while the one before them still
// runs. A file's lines wait until its output and those before it are in place or have failed, so
// that the log keeps its order and says only what is so.
class FileRun {
public:
    FileRun(ProcessingSettings& settings, RunObserver& observer, FileJob job = ProcessFileHoldingOutput)
        : settings_(settings), observer_(observer), job_(job) {}
    FileRun(const FileRun&) = delete;
    FileRun& operator=(const FileRun&) = delete;

    // The output folder's text does not fit a path: every file is refused rather than written
    // somewhere a cut path names, and the end shows the text as it was read.
    void RefuseForLongFolder(const Utf16Char* folderText);

    // Clears a stop left over from an earlier run; `count` files are listed.
    void Start(std::size_t count);
    // Runs the next listed file, whose job may still run on return, beside the next one's. False
    // when a stop was asked for: no further file may start.
    bool RunFile(const Utf16Char* path, TaskRunner& runner);
    // Refuses the next listed file before anything is done with it, e.g. for a path that cannot be
    // spelt in a path buffer; `path` is the listed path as it is to be shown.
    void RefuseFile(const Utf16Char* path, FileReason::Kind why);
    // Waits for the job still running, puts the held outputs in place, shows the end and clears the
    // stop; true when the run was stopped. A Stop needs nothing else: the outputs complete by then
    // are kept.
    bool End(TaskRunner& runner);
    // For a run ended by a signal, also while a worker still runs: the file in progress and the held
    // outputs are never put in place if they were not already, the log says which, and the run
    // ends as stopped.
    void EndAbandoningFile();

    bool AnyFileFailed() const { return anyFileFailed_; }

    // See FileTask::PollProgress; `now` is the time of the poll. A file whose progress is due waits
    // no longer for the held outputs before it: they start going into place, on a worker where the
    // front end has one free, and its name and progress show once they are.
    void PollProgress(ProgressPacer::Clock::time_point now);

    // Jobs at once where the front end has the workers, counting the one it waits for: the third
    // keeps two processor cores busy while a job waits for the disk or for its hand-over.
    static constexpr std::size_t kJobsAtOnce = 3;
    // The workers a front end gives the run: its jobs at once and the placing of held outputs.
    static constexpr std::size_t kWorkers = kJobsAtOnce + 1;

    // Outputs go into place this many at a time, each holding its file open until then; the next
    // ones gather while a group is being placed.
    static constexpr std::size_t kHeldOutputs = 32;

private:
    // A job that runs beside another one keeps its outcome in a record of its own.
    struct JobBeside {
        ProcessingSettings settings;
        std::optional<FileTask> task;
    };

    // A listed file whose lines the log has not shown in full yet.
    struct FileInRun {
        Utf16String path;
        std::size_t number = 0;
        bool nameShown = false;
        // False while its job runs.
        bool ended = false;
        // Where its job runs beside others, until it ends.
        JobBeside* beside = nullptr;
        // Its output waits to be put in place.
        bool held = false;
        // A stop arrived while its job ran.
        bool stopped = false;
        bool failed = false;
        bool written = false;
        FileReason reason;
        Levels levels;
        std::optional<AudioFacts> audio;
    };

    FileInRun& Next(const Utf16Char* path);
    void RunJob(FileInRun& file, TaskRunner& runner);
    bool StartBeside(FileInRun& file, TaskRunner& runner);
    void FinishRunning(TaskRunner& runner);
    bool FinishOldest(TaskRunner& runner);
    void EndRunning(FileInRun& file, TaskRunner& runner);
    void DropAfter(const FileInRun& inProgress, TaskRunner& runner);
    void WaitingFor(const FileInRun& file, const ProcessingSettings& job, TaskRunner& runner);
    void EndJob(FileInRun& file, const ProcessingSettings& job);
    static void Refuse(FileInRun& file, FileReason::Kind why);
    std::size_t HeldCount() const;
    std::size_t PlacingCount() const;
    void StartPlacing(TaskRunner& runner);
    void FinishPlacing();
    void PlaceHeld(TaskRunner& runner);
    void TakePlacing(const std::vector<FileReason>& reasons);
    void ReportReady();
    void Report(const FileInRun& file);
    FileResult ResultOf(const FileInRun& file) const;
    void ReportEnd(bool interrupted);

    ProcessingSettings& settings_;
    RunObserver& observer_;
    FileJob job_;
    WrittenOutputs written_;
    bool folderTooLong_ = false;
    Utf16String folderText_;
    // In list order; the last one is the file that RunFile runs or ran last.
    std::deque<FileInRun> files_;
    std::array<JobBeside, kJobsAtOnce> besides_;
    // The files whose jobs run beside, oldest first, and their outputs, which no later file may
    // write meanwhile.
    std::deque<FileInRun*> running_;
    WrittenOutputs runningOutput_;
    // The file the front end waits for, the settings its job reports its progress in, and the
    // runner that waits.
    const FileInRun* waited_ = nullptr;
    const ProcessingSettings* waitedJob_ = nullptr;
    TaskRunner* waitedRunner_ = nullptr;
    // The first held outputs, being put in place on a worker of this runner.
    std::optional<PlacingTask> placing_;
    TaskRunner* placingRunner_ = nullptr;
    std::size_t count_ = 0;
    std::size_t number_ = 0;
    bool anyFileFailed_ = false;
    ProgressPacer pacer_;
};
