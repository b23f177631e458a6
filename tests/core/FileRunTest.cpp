// The run over a list of files, driven with a stand-in job and worker: which steps each kind of file
// reports, in which order, and when a file is refused before its job.
#include "core/FileRun.h"

#include "core/PathParts.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

#ifdef _WIN32
const Utf16String kOutputFolder = Utf16FromPath("C:\\out");
#else
const Utf16String kOutputFolder = Utf16FromPath("/out");
#endif
const Utf16Char kSeparator[] = {kPathSeparator, 0};
const std::string kEnd = "ended, folder " + Utf8FromUtf16(kOutputFolder.c_str());

class RecordingObserver : public RunObserver {
public:
    void RunStarted() override { calls.push_back("started"); }
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) override {
        calls.push_back(Utf8FromUtf16(name) + " " + std::to_string(number) + "/" + std::to_string(count));
    }
    void FileStopped(bool written) override { calls.push_back(written ? "stopped, written" : "stopped, not written"); }
    void FileFailed(const FileReason& reason) override {
        calls.push_back(reason.kind == FileReason::Kind::None ? "failed" : "failed: " + EnglishText(reason));
    }
    void FileNote(const FileReason& note) override { calls.push_back("note: " + EnglishText(note)); }
    void FileProgress(unsigned percent) override { calls.push_back(std::to_string(percent) + " %"); }
    void FileEnded(const FileResult& result) override { results.push_back(result); }
    void RunEnded(bool interrupted, const Utf16Char* folder) override {
        calls.push_back((interrupted ? "interrupted, folder " : "ended, folder ") + Utf8FromUtf16(folder));
    }

    Calls calls;
    std::vector<FileResult> results;
};

int jobsRun = 0;
// The run's own settings, where a scripted Stop goes, as a front end's would; a job that runs
// beside another has settings of its own.
ProcessingSettings* runSettings = nullptr;

// Stands in for ProcessFile: the file's name says how its job ends. Like the real job, it does
// nothing after a Stop.
void ScriptedJob(ProcessingSettings& settings, const Utf16Char* path) {
    ++jobsRun;
    settings.errorOccurred = false;
    settings.reason = FileReason();
    const std::string name = Utf8FromUtf16(FileNameOf(path));
    // early.wav's job had put its output in place before a stop could reach it.
    const bool stopped = settings.cancelRequested && name != "early.wav";
    settings.outputWritten = !stopped;
    if (stopped) {
        return;
    }
    if (name == "broken.wav") {
        settings.reason = FileReason(FileReason::Kind::NotRiffWave);
        settings.errorOccurred = true;
        settings.outputWritten = false;
    } else if (name == "twelve.wav") {
        settings.reason = FileReason(FileReason::Kind::UnchangedNoFormat);
    } else if (name == "stopped.wav") {
        runSettings->cancelRequested = true;
        settings.outputWritten = false;
    } else if (name == "late-stop.wav") {
        runSettings->cancelRequested = true;
    } else if (name == "throws.wav") {
        settings.reason = FileReason(FileReason::Kind::UnchangedNoFormat);
        throw 42;
    }
}

// Runs the task on the calling thread, or finds no thread for it.
class InlineRunner : public TaskRunner {
public:
    explicit InlineRunner(bool canStart = true) : canStart_(canStart) {}
    bool RunToEnd(Task& task) override {
        if (canStart_) {
            task.Run();
        }
        return canStart_;
    }

private:
    bool canStart_;
};

// Starts each task on one of `workers` and runs it only when the run waits for it, after the front
// end's poll has passed on a Stop: the run's bookkeeping of jobs beside, in the order a single
// worker would run them.
class DeferringRunner : public TaskRunner {
public:
    DeferringRunner(FileRun& run, bool canStart, std::size_t workers)
        : run_(run), canStart_(canStart), workers_(workers) {}
    bool RunToEnd(Task& task) override {
        if (canStart_) {
            task.Run();
        }
        return canStart_;
    }
    bool Start(Task&) override {
        if (!canStart_ || started_ == workers_) {
            return false;
        }
        ++started_;
        return true;
    }
    void Finish(Task& task) override {
        run_.PollProgress(ProgressPacer::Clock::now());
        --started_;
        task.Run();
    }

private:
    FileRun& run_;
    bool canStart_;
    std::size_t workers_;
    std::size_t started_ = 0;
};

// Runs the task on the calling thread, and then ends the run and the process as a signal would.
class AbandoningRunner : public TaskRunner {
public:
    AbandoningRunner(FileRun& run, std::function<int()> exitStatus) : run_(run), exitStatus_(std::move(exitStatus)) {}
    bool RunToEnd(Task& task) override {
        task.Run();
        run_.EndAbandoningFile();
        std::_Exit(exitStatus_());
    }

private:
    FileRun& run_;
    std::function<int()> exitStatus_;
};

struct RunResult {
    Calls calls;
    std::vector<FileResult> results;
    bool interrupted;
    bool anyFileFailed;
};

// None: every job on the calling thread; one: a job beside none; or as many as the run starts.
const std::size_t kWorkerCounts[] = {0, 1, FileRun::kJobsAtOnce};

// Runs the list with `workers` to start its jobs on.
RunResult RunList(const std::vector<std::string>& paths, std::size_t workers, bool canStart = true,
                  const char* longFolder = nullptr) {
    ProcessingSettings settings;
    runSettings = &settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, kOutputFolder.c_str());
    RecordingObserver observer;
    FileRun run(settings, observer, ScriptedJob);
    InlineRunner inlineRunner(canStart);
    DeferringRunner deferringRunner(run, canStart, workers);
    TaskRunner& runner = workers > 0 ? static_cast<TaskRunner&>(deferringRunner) : inlineRunner;
    if (longFolder != nullptr) {
        run.RefuseForLongFolder(Utf16FromPath(longFolder).c_str());
    }
    // A stop left over from an earlier run.
    settings.cancelRequested = true;
    run.Start(paths.size());
    for (const std::string& path : paths) {
        if (!run.RunFile(Utf16FromPath(path).c_str(), runner)) {
            break;
        }
    }
    const bool interrupted = run.End(runner);
    EXPECT_FALSE(settings.cancelRequested) << "the stop outlives its run";
    return {observer.calls, observer.results, interrupted, run.AnyFileFailed()};
}

TEST(FileRun, EachKindOfFileReportsItsStepsInOrder) {
    using Status = FileResult::Status;
    const struct {
        const char* file;
        bool canStart;
        Calls steps;
        bool interrupted;
        bool failed;
        Status status;
    } rows[] = {
        {"in/a.wav", true, {}, false, false, Status::Processed},
        {"in/broken.wav", true, {"failed: not a RIFF/WAVE file"}, false, true, Status::Failed},
        {"in/twelve.wav", true, {"note: written unchanged: there is no format chunk"}, false, false, Status::Unchanged},
        {"in/stopped.wav", true, {"stopped, not written"}, true, false, Status::Stopped},
        {"in/late-stop.wav", true, {"stopped, written"}, true, false, Status::Processed},
        // Whatever the job had set before it threw, the file failed without a known reason.
        {"in/throws.wav", true, {"failed"}, false, true, Status::Failed},
        {"in/a.wav", false, {"failed: no thread could be started for the file"}, false, true, Status::Failed},
    };
    for (const auto& row : rows) {
        for (const std::size_t workers : kWorkerCounts) {
            SCOPED_TRACE(std::string(row.file) + ", workers " + std::to_string(workers));
            const RunResult result = RunList({row.file}, workers, row.canStart);
            const std::string name = Utf8FromUtf16(FileNameOf(Utf16FromPath(row.file).c_str()));
            Calls expected{"started", name + " 1/1"};
            expected.insert(expected.end(), row.steps.begin(), row.steps.end());
            expected.push_back(row.interrupted ? "interrupted, folder " + Utf8FromUtf16(kOutputFolder.c_str()) : kEnd);
            EXPECT_EQ(result.calls, expected);
            EXPECT_EQ(result.interrupted, row.interrupted);
            EXPECT_EQ(result.anyFileFailed, row.failed);
            ASSERT_EQ(result.results.size(), 1u);
            const FileResult& ended = result.results[0];
            EXPECT_EQ(ended.status, row.status);
            // Only a written file names its output.
            const bool written = row.status == Status::Processed || row.status == Status::Unchanged;
            EXPECT_EQ(Utf8FromUtf16(ended.output.c_str()),
                      written ? Utf8FromUtf16(kOutputFolder.c_str()) + Utf8FromUtf16(kSeparator) + name : "");
        }
    }
}

// With jobs beside each other, the files after a stopped one have started and are dropped unseen;
// with one worker, the file after it waits for it and never starts.
TEST(FileRun, AStopStartsNoFurtherFileAndAFailureDoesNotEndTheRun) {
    for (const std::size_t workers : kWorkerCounts) {
        SCOPED_TRACE(workers);
        jobsRun = 0;
        const RunResult result = RunList({"in/broken.wav", "in/stopped.wav", "in/a.wav", "in/b.wav"}, workers);
        EXPECT_EQ(result.calls,
                  (Calls{"started", "broken.wav 1/4", "failed: not a RIFF/WAVE file", "stopped.wav 2/4",
                         "stopped, not written", "interrupted, folder " + Utf8FromUtf16(kOutputFolder.c_str())}));
        EXPECT_TRUE(result.anyFileFailed);
        if (workers <= 1) {
            EXPECT_EQ(jobsRun, 2);
        }
    }
}

// An output that a job beside put in place at once cannot be undone: its file stays in the log,
// while the one after it is dropped unseen.
TEST(FileRun, AStopKeepsTheFileBesideWhoseOutputIsAlreadyInPlace) {
    const RunResult result = RunList({"in/stopped.wav", "in/early.wav", "in/a.wav"}, FileRun::kJobsAtOnce);
    EXPECT_EQ(result.calls, (Calls{"started", "stopped.wav 1/3", "stopped, not written", "early.wav 2/3",
                                   "stopped, written", "interrupted, folder " + Utf8FromUtf16(kOutputFolder.c_str())}));
}

// Beside each other, the second job for an output waits for the first: only its outcome decides.
TEST(FileRun, SecondFileForAWrittenOutputIsRefusedBeforeItsJob) {
    for (const std::size_t workers : kWorkerCounts) {
        SCOPED_TRACE(workers);
        jobsRun = 0;
        // A failed file claims no output; a file's name decides its output path, whatever its folder.
        const RunResult result =
            RunList({"in/broken.wav", "other/broken.wav", "in/a.wav", "other/a.wav", "in/b.wav"}, workers);
        EXPECT_EQ(result.calls, (Calls{"started", "broken.wav 1/5", "failed: not a RIFF/WAVE file", "broken.wav 2/5",
                                       "failed: not a RIFF/WAVE file", "a.wav 3/5", "a.wav 4/5",
                                       "failed: the same output name twice in this run", "b.wav 5/5", kEnd}));
        EXPECT_EQ(jobsRun, 4);
    }
}

TEST(FileRun, FolderTooLongForAPathRefusesEveryFileAndIsShownAtTheEnd) {
    jobsRun = 0;
    const RunResult result = RunList({"in/a.wav", "in/b.wav"}, 0, true, "/far/too/long");
    EXPECT_EQ(result.calls, (Calls{"started", "a.wav 1/2", "failed: the output path is too long", "b.wav 2/2",
                                   "failed: the output path is too long", "ended, folder /far/too/long"}));
    EXPECT_EQ(jobsRun, 0);
}

// Runs each task on a thread of its own while this thread finds the file's progress due, as a front
// end polls it while a long file runs: the outputs held before it go into place meanwhile.
class ThreadRunner : public TaskRunner {
public:
    explicit ThreadRunner(FileRun& run) : run_(run) {}
    bool RunToEnd(Task& task) override {
        std::thread worker([&task] { task.Run(); });
        if (dynamic_cast<FileTask*>(&task) != nullptr) {
            run_.PollProgress(ProgressPacer::Clock::now() + std::chrono::seconds(2));
        }
        worker.join();
        return true;
    }

private:
    FileRun& run_;
};

TEST(FileRun, HeldOutputsGoIntoPlaceWhileTheNextFileRuns) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder / "out").c_str());
    RecordingObserver observer;
    FileRun run(settings, observer);
    ThreadRunner runner(run);
    const char* names[] = {"a.wav", "b.wav", "c.wav", "d.wav"};
    run.Start(4);
    for (const char* name : names) {
        WriteBytes(folder / name, MakeWave(16, {0, 100, -100, 0}));
        ASSERT_TRUE(run.RunFile(Utf16FromPath(folder / name).c_str(), runner));
    }
    run.End(runner);
    // How far the job is when its progress shows is a matter of timing.
    Calls calls = observer.calls;
    for (std::string& call : calls) {
        call = call.back() == '%' ? "progress" : call;
    }
    EXPECT_EQ(calls, (Calls{"started", "a.wav 1/4", "progress", "b.wav 2/4", "progress", "c.wav 3/4", "progress",
                            "d.wav 4/4", "progress", "ended, folder " + Utf8Path(folder / "out")}));
    std::vector<std::filesystem::path> outputs = ListFolder(folder / "out");
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(outputs, (std::vector<std::filesystem::path>{"a.wav", "b.wav", "c.wav", "d.wav"}));
}

// The real job and writer: abandoning ends every write of the process for good, so each row runs
// in a child process, whose exit status says what the run showed last of the file and whether its
// output, and nothing else, is in the output folder.
TEST(FileRun, RunEndedBySignalSaysWhetherTheFileInProgressWasWritten) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* file;
        Bytes contents;
        FileJob job;
        const char* shown;
        std::size_t outputs;
    } rows[] = {
        {"a.wav", MakeWave(16, {0, 100, -100, 0}), ProcessFile, "stopped, written", 1},
        // Its output waited to be put in place: it is removed.
        {"a.wav", MakeWave(16, {0, 100, -100, 0}), ProcessFileHoldingOutput, "stopped, not written", 0},
        {"broken.wav", BytesOf("not a RIFF file"), ProcessFileHoldingOutput, "stopped, not written", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        TempFolder folder;
        WriteBytes(folder / row.file, row.contents);
        std::filesystem::create_directory(folder / "out");
        EXPECT_EXIT(
            {
                ProcessingSettings settings;
                Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder / "out").c_str());
                RecordingObserver observer;
                FileRun run(settings, observer, row.job);
                // The signal comes as the job ends, before the run has taken its outcome.
                AbandoningRunner runner(run, [&] {
                    const Calls& calls = observer.calls;
                    const bool shown = calls.size() >= 2 && calls[calls.size() - 2] == row.shown;
                    const auto outputs = static_cast<std::size_t>(std::distance(
                        std::filesystem::directory_iterator(folder / "out"), std::filesystem::directory_iterator()));
                    return shown && outputs == row.outputs ? 0 : 1;
                });
                run.Start(2);
                run.RunFile(Utf16FromPath(folder / row.file).c_str(), runner);
                std::_Exit(2);
            },
            testing::ExitedWithCode(0), "");
    }
}

}  // namespace
