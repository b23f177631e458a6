// The run's one worker thread: each task has ended when RunToEnd returns, and the thread ends
// with the worker.
#include "batch/FileWorker.h"

#include <gtest/gtest.h>

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

TEST(PumpingWorker, EachTaskHasEndedWhenRunToEndReturnsAndTheThreadEndsWithTheWorker) {
    finishedPaths.clear();
    ProcessingSettings settings;
    SilentObserver observer;
    FileRun run(settings, observer, SlowJob);
    const std::vector<std::wstring> paths = {L"a.wav", L"b.wav", L"c.wav"};
    HANDLE jobThreadHandle = nullptr;
    {
        PumpingWorker worker;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            FileTask task(SlowJob, settings, paths[i].c_str(), run);
            ASSERT_TRUE(worker.RunToEnd(task));
            ASSERT_EQ(finishedPaths, std::vector<std::wstring>(paths.begin(), paths.begin() + i + 1));
        }
        jobThreadHandle = OpenThread(SYNCHRONIZE, FALSE, jobThread);
    }
    const KernelHandle thread(jobThreadHandle);
    ASSERT_NE(thread.Get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 0), WAIT_OBJECT_0);
}

}  // namespace
