// A run's progress where it shows while the window is in the background: the main window's title
// ("Palvotrix – 3/120 (45 %)") and its taskbar button.
#pragma once

#include "batch/TaskbarProgress.h"
#include "controls/PacedShowing.h"

#include <windows.h>

#include <cstddef>
#include <string>

class RunTitle {
public:
    // Keeps the window's title as it is now, to put back at the end. `taskbar` may be null.
    RunTitle(HWND window, TaskbarProgress* taskbar);
    ~RunTitle();
    RunTitle(const RunTitle&) = delete;
    RunTitle& operator=(const RunTitle&) = delete;

    // Under Wine a title changed for each small file cost as much as its job: the place in the list
    // shows at once when the title last changed a moment ago or longer, otherwise once that moment
    // has passed.
    void FileStarted(std::size_t number, std::size_t count);
    void FileProgress(unsigned percent);
    // The plain title again, and no progress on the button.
    void RunEnded();

private:
    static void CALLBACK ShowPlaceOnTimer(HWND window, UINT, UINT_PTR timer, DWORD);
    void Show(const std::wstring& percentText, unsigned percent);

    HWND window_;
    TaskbarProgress* taskbar_;
    std::wstring plainTitle_;
    std::size_t number_ = 0;
    std::size_t count_ = 0;
    PacedShowing pacing_;
};
