// A second thread for work beside the caller's own: it runs one task at a time, handed over by
// Start and awaited by Wait or WaitFor. The file services' reasons for an error belong to the
// thread that called them: a task that reads a file beside a job reports no more than whether
// that worked, and a task that runs a whole job takes its reasons itself.
#pragma once

#include <chrono>
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
    // Hands `task` over as Start does; where no thread could be started, returns false and leaves
    // the task unrun.
    bool TryStart(std::function<void()> task);

    // Returns once the task handed over last is done.
    void Wait();
    // Whether the task handed over last is done, waiting for it at most `timeout`.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    // Whether the thread runs, starting it on first use.
    bool Running();
    void Hand(std::function<void()> task);
    void Serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> task_;
    bool ending_ = false;
    bool startFailed_ = false;
    std::thread thread_;
};
