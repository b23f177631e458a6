// Shows the run's place in the list, and the file's percent, in the title and on the taskbar.
#include "batch/RunTitle.h"

namespace {

std::wstring WindowTitle(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring title(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, &title[0], static_cast<int>(title.size()))));
    return title;
}

}  // namespace

RunTitle::RunTitle(HWND window, TaskbarProgress* taskbar)
    : window_(window), taskbar_(taskbar), plainTitle_(WindowTitle(window)) {}

void RunTitle::FileStarted(std::size_t number, std::size_t count) {
    number_ = number;
    count_ = count;
    Show(L"", 0);
}

void RunTitle::FileProgress(unsigned percent) {
    Show(L" (" + std::to_wstring(percent) + L" %)", percent);
}

void RunTitle::RunEnded() {
    SetWindowTextW(window_, plainTitle_.c_str());
    if (taskbar_ != nullptr) {
        taskbar_->Hide();
    }
}

// The button counts the files done and the part of this one, a hundred steps a file.
void RunTitle::Show(const std::wstring& percentText, unsigned percent) {
    const std::wstring place = std::to_wstring(number_) + L"/" + std::to_wstring(count_);
    SetWindowTextW(window_, (plainTitle_ + L" \u2013 " + place + percentText).c_str());
    if (taskbar_ != nullptr) {
        taskbar_->Show((number_ - 1) * 100 + percent, count_ * 100);
    }
}
