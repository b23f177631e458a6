// The progress bar on the main window's taskbar button, behind an interface of its own so that
// the window tests can stand in for the system's.
#pragma once

#include <windows.h>

#include <memory>

class TaskbarProgress {
public:
    virtual ~TaskbarProgress() = default;
    virtual void Show(ULONGLONG done, ULONGLONG total) = 0;
    virtual void Hide() = 0;
};

// The system's taskbar button of `window`; null where the system has none (an older Windows, or
// Wine without it), and the run then goes on without it.
std::unique_ptr<TaskbarProgress> OpenTaskbarProgress(HWND window);
