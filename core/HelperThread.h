// A second thread for work beside the caller's own: it runs one task at a time, handed over by
// Start and awaited by Wait. A task may read an input file, but it reports no more than whether
// that worked: the file services' reasons for an error belong to the thread that called them.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class HelperThread {
public:
    HelperThread() = default;
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Hands `task` over once the one before has been awaited. Where no thread could be started,
    // the task runs at once on the caller's.
    void Start(std::function<void()> task);

    // Returns once the task handed over last is done.
    void Wait();

private:
    void Serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> task_;
    bool ending_ = false;
    bool startFailed_ = false;
    std::thread thread_;
};
