// Shows the run's place in the list, and the file's percent, in the title and on the taskbar.
#include "batch/RunTitle.h"

namespace {

constexpr UINT_PTR kPlaceTimer = 0x54544C;
// Where the timer finds the run's title; gone with it, so that a late timer finds nothing.
constexpr wchar_t kTitleProperty[] = L"PalvotrixRunTitle";

std::wstring WindowTitle(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring title(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, &title[0], static_cast<int>(title.size()))));
    return title;
}

}  // namespace

RunTitle::RunTitle(HWND window, TaskbarProgress* taskbar)
    : window_(window), taskbar_(taskbar), plainTitle_(WindowTitle(window)), pacing_(kPlaceTimer, ShowPlaceOnTimer) {
    SetPropW(window_, kTitleProperty, this);
}

RunTitle::~RunTitle() {
    pacing_.Cancel(window_);
    RemovePropW(window_, kTitleProperty);
}

void RunTitle::FileStarted(std::size_t number, std::size_t count) {
    number_ = number;
    count_ = count;
    // Without a timer the place shows at once.
    if (window_ == nullptr || pacing_.Due() || !pacing_.ShowLater(window_)) {
        Show(L"", 0);
    }
}

void RunTitle::FileProgress(unsigned percent) {
    Show(L" (" + std::to_wstring(percent) + L" %)", percent);
}

void RunTitle::RunEnded() {
    pacing_.Cancel(window_);
    SetWindowTextW(window_, plainTitle_.c_str());
    if (taskbar_ != nullptr) {
        taskbar_->Hide();
    }
}

void CALLBACK RunTitle::ShowPlaceOnTimer(HWND window, UINT, UINT_PTR timer, DWORD) {
    if (auto* title = static_cast<RunTitle*>(GetPropW(window, kTitleProperty))) {
        title->Show(L"", 0);
    } else {
        KillTimer(window, timer);
    }
}

// The button counts the files done and the part of this one, a hundred steps a file. What shows now
// is the latest: a place still waiting for its moment shows with it.
void RunTitle::Show(const std::wstring& percentText, unsigned percent) {
    pacing_.Shown(window_);
    const std::wstring place = std::to_wstring(number_) + L"/" + std::to_wstring(count_);
    SetWindowTextW(window_, (plainTitle_ + L" \u2013 " + place + percentText).c_str());
    if (taskbar_ != nullptr) {
        taskbar_->Show((number_ - 1) * 100 + percent, count_ * 100);
    }
}
