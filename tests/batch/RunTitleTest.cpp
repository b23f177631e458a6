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
    EXPECT_EQ(Title(window.Handle()), L"Palvotrix \u2013 4/120");
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

}  // namespace
