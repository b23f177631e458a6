#include "core/HelperThread.h"

#include <system_error>
#include <utility>

HelperThread::~HelperThread() {
    if (!thread_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void HelperThread::Start(std::function<void()> task) {
    if (Running()) {
        Hand(std::move(task));
    } else {
        task();
    }
}

bool HelperThread::TryStart(std::function<void()> task) {
    if (!Running()) {
        return false;
    }
    Hand(std::move(task));
    return true;
}

// The thread starts with the first task, so that work with none costs none.
bool HelperThread::Running() {
    if (!thread_.joinable() && !startFailed_) {
        try {
            thread_ = std::thread([this] { Serve(); });
        } catch (const std::system_error&) {
            startFailed_ = true;
        }
    }
    return !startFailed_;
}

void HelperThread::Hand(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        task_ = std::move(task);
    }
    changed_.notify_all();
}

void HelperThread::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !task_; });
}

bool HelperThread::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !task_; });
}

// The task runs outside the lock; the caller leaves `task_` alone until Wait has seen it emptied.
void HelperThread::Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return task_ || ending_; });
        if (!task_) {
            return;
        }
        lock.unlock();
        task_();
        lock.lock();
        task_ = nullptr;
        changed_.notify_all();
    }
}
