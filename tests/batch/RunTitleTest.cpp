// The run's progress in the main window's title and on its taskbar button, through a stand-in for
// the system's taskbar.
#include "batch/RunTitle.h"

#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingTaskbar : public TaskbarProgress {
public:
    void Show(ULONGLONG done, ULONGLONG total) override {
        calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    void Hide() override { calls.push_back("hidden"); }

    std::vector<std::string> calls;
};

std::wstring Title(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Dispatches messages until the title reads `expected`, or for at most `limitMs`.
std::wstring TitleOnceShown(HWND window, const std::wstring& expected, DWORD limitMs = 10000) {
    const DWORD start = GetTickCount();
    while (Title(window) != expected && GetTickCount() - start < limitMs) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return Title(window);
}

TEST(RunTitle, ShowsThePlaceInTheListAndThePercentThenThePlainTitle) {
    TestWindow window;
    SetWindowTextW(window.Handle(), L"Palvotrix");
    RecordingTaskbar taskbar;
    RunTitle title(window.Handle(), &taskbar);

    title.FileStarted(3, 120);
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix \u2013 3/120");
    title.FileProgress(45);
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix \u2013 3/120 (45 %)");
    // The next file shows no percent until its own is known.
    title.FileStarted(4, 120);
    EXPECT_EQ(TitleOnceShown(window.Handle(), L"Palvotrix \u2013 4/120"), L"Palvotrix \u2013 4/120");
    title.RunEnded();
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix");
    // Two files done and 45 % of the third: a hundred steps a file.
    EXPECT_EQ(taskbar.calls, (std::vector<std::string>{"200/12000", "245/12000", "300/12000", "hidden"}));
}

TEST(RunTitle, WithoutATaskbarTheTitleAloneShowsTheRun) {
    TestWindow window;
    SetWindowTextW(window.Handle(), L"Palvotrix");
    RunTitle title(window.Handle(), nullptr);
    title.FileStarted(1, 2);
    title.FileProgress(100);
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix \u2013 1/2 (100 %)");
    title.RunEnded();
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix");
}

// A run of small files changes the title a few times a second, not once a file; the place of the
// last file started shows once its moment has passed, and not after the run's end.
TEST(RunTitle, FilesStartedInQuickSuccessionShowTheLatestPlaceAMomentLater) {
    TestWindow window;
    SetWindowTextW(window.Handle(), L"Palvotrix");
    RecordingTaskbar taskbar;
    {
        RunTitle title(window.Handle(), &taskbar);
        for (std::size_t number = 1; number <= 100; ++number) {
            title.FileStarted(number, 100);
        }
        EXPECT_LT(taskbar.calls.size(), 100u);
        EXPECT_EQ(TitleOnceShown(window.Handle(), L"Palvotrix \u2013 100/100"), L"Palvotrix \u2013 100/100");
        EXPECT_EQ(taskbar.calls.back(), "9900/10000");

        title.FileStarted(1, 2);
        title.FileStarted(2, 2);
        title.RunEnded();
        EXPECT_EQ(TitleOnceShown(window.Handle(), L"never", 300), L"Palvotrix");
    }
}

}  // namespace
