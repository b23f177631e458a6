// The run's worker threads: each task has ended when RunToEnd or Finish returns, the queue is served
// even when the task has ended already, started tasks run at once, one more than the workers is
// refused, and the threads end with the worker.
#include "batch/FileWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace {

class SilentObserver : public RunObserver {
public:
    void RunStarted() override {}
    void FileStarted(const Utf16Char*, std::size_t, std::size_t) override {}
    void FileStopped(bool) override {}
    void FileFailed(const FileReason&) override {}
    void FileNote(const FileReason&) override {}
    void RunEnded(bool, const Utf16Char*) override {}
};

std::vector<std::wstring> finishedPaths;
DWORD jobThread = 0;

// Long enough that a RunToEnd which did not wait would return before the job's end.
void SlowJob(ProcessingSettings&, const Utf16Char* path) {
    Sleep(30);
    jobThread = GetCurrentThreadId();
    finishedPaths.emplace_back(path);
}

// Opened while the worker lives, so that the thread can be looked at once it has ended.
using OpenedThread = std::optional<KernelHandle>;

void Open(OpenedThread& thread, DWORD id) {
    thread.emplace(OpenThread(SYNCHRONIZE, FALSE, id));
}

bool Ended(const OpenedThread& thread) {
    return thread && thread->Get() != nullptr && WaitForSingleObject(thread->Get(), 0) == WAIT_OBJECT_0;
}

TEST(PumpingWorker, EachTaskHasEndedWhenRunToEndReturnsAndTheThreadEndsWithTheWorker) {
    finishedPaths.clear();
    ProcessingSettings settings;
    SilentObserver observer;
    FileRun run(settings, observer, SlowJob);
    const std::vector<std::wstring> paths = {L"a.wav", L"b.wav", L"c.wav"};
    OpenedThread thread;
    {
        PumpingWorker worker;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            FileTask task(SlowJob, settings, paths[i].c_str(), run);
            ASSERT_TRUE(worker.RunToEnd(task));
            ASSERT_EQ(finishedPaths, std::vector<std::wstring>(paths.begin(), paths.begin() + i + 1));
        }
        Open(thread, jobThread);
    }
    EXPECT_TRUE(Ended(thread));
}

// Signals its own event, then waits for the other task's: it meets the other only when both run at
// once. The wait is generous, so that a loaded machine cannot fail it.
class MeetingTask : public Task {
public:
    MeetingTask(HANDLE mine, HANDLE other) : mine_(mine), other_(other) {}

    void Run() noexcept override {
        thread = GetCurrentThreadId();
        SetEvent(mine_);
        met = WaitForSingleObject(other_, 10000) == WAIT_OBJECT_0;
        // Long enough that a Finish which did not wait would return before the task's end.
        Sleep(30);
        ended = true;
    }

    DWORD thread = 0;
    bool met = false;
    std::atomic<bool> ended{false};

private:
    HANDLE mine_;
    HANDLE other_;
};

// Keeps its worker busy until released.
class HeldTask : public Task {
public:
    explicit HeldTask(HANDLE release) : release_(release) {}
    void Run() noexcept override { WaitForSingleObject(release_, 10000); }

private:
    HANDLE release_;
};

// Ends as soon as it runs.
class QuickTask : public Task {
public:
    void Run() noexcept override { ended = true; }
    std::atomic<bool> ended{false};
};

TEST(PumpingWorker, FinishServesTheQueueAlsoForATaskThatHasEnded) {
    QuickTask task;
    PumpingWorker worker;
    ASSERT_TRUE(worker.Start(task));
    while (!task.ended) {
        Sleep(1);
    }
    // Time for its worker to signal the end before anything is queued.
    Sleep(50);
    PostQuitMessage(5);

    worker.Finish(task);

    EXPECT_TRUE(ProcessingSettings::Instance().cancelRequested);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    ProcessingSettings::Instance().cancelRequested = false;
}

TEST(PumpingWorker, StartedTasksRunAtOnceEachFinishWaitsForItsOwnAndTheThreadsEndWithTheWorker) {
    const KernelHandle firstRuns(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const KernelHandle secondRuns(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const KernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    MeetingTask first(firstRuns.Get(), secondRuns.Get());
    MeetingTask second(secondRuns.Get(), firstRuns.Get());
    std::vector<HeldTask> others(FileRun::kWorkers - 2, HeldTask(release.Get()));
    MeetingTask refused(nullptr, nullptr);
    OpenedThread threads[2];
    {
        PumpingWorker worker;
        ASSERT_TRUE(worker.Start(first));
        ASSERT_TRUE(worker.Start(second));
        for (HeldTask& other : others) {
            ASSERT_TRUE(worker.Start(other));
        }
        // Every worker is busy: one more task is refused, not queued behind any.
        EXPECT_FALSE(worker.Start(refused));
        SetEvent(release.Get());
        for (HeldTask& other : others) {
            worker.Finish(other);
        }
        worker.Finish(second);
        EXPECT_TRUE(second.ended);
        worker.Finish(first);
        EXPECT_TRUE(first.ended);
        EXPECT_TRUE(first.met);
        EXPECT_TRUE(second.met);
        EXPECT_NE(first.thread, second.thread);
        Open(threads[0], first.thread);
        Open(threads[1], second.thread);
    }
    EXPECT_TRUE(Ended(threads[0]));
    EXPECT_TRUE(Ended(threads[1]));
}

}  // namespace
