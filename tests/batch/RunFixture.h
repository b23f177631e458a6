// Test support for the batch commands: clicks and log reads through the program's real windows.
#pragma once

#include "controls/ControlItem.h"
#include "support/TestFiles.h"
#include "support/TheProgram.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Makes folder the program's start folder, which an empty output-folder box stands for, for the
// guard's lifetime.
class StartFolderScope {
public:
    explicit StartFolderScope(const std::wstring& folder);
    ~StartFolderScope();
    StartFolderScope(const StartFolderScope&) = delete;
    StartFolderScope& operator=(const StartFolderScope&) = delete;

private:
    std::wstring previous;
};

template <class T>
T& Control(int32_t controlId);
ControlItem& ControlById(int32_t controlId);

// A click as the button's window reports it to its parent, routed like the user's own. A click on
// Start first waits, as a user would, until Start accepts clicks again after a Stop or a run's end.
void Click(int32_t controlId);
// The same click, posted: it waits in the queue for the next message pump.
void PostClick(int32_t controlId);

void WaitUntilStartAcceptsClicks();
// Real mouse input: clicks (two make a double click) in the middle of the control's window, which
// is brought to the front first. The input waits in the queue for the next message pump.
void MouseClicks(int32_t controlId, int count);

void SetBoxText(int32_t controlId, const std::wstring& text);
std::wstring BoxText(int32_t controlId);
// Leaving a value box, as the box reports it to its parent: it commits what the box shows.
void LeaveBox(int32_t controlId);
// Types text into a value box and leaves it, so that the text becomes the box's value.
void EnterValue(int32_t controlId, const std::wstring& text);
using Lines = std::vector<std::wstring>;

// The run's log texts.
const std::wstring kStartLine = L"処理を開始します";
const std::wstring kErrorLine = L"処理中にエラーが発生しました";
// The outcome lines end in a line feed of their own, so an empty line follows each.
const std::wstring kCompletedLine = L"処理が完了しました";
const std::wstring kInterruptedLine = L"処理が中断されました";
const std::wstring kFolderPrefix = L"出力先: ";

// The log's text split at its line breaks: CR LF, or a lone LF, which some edit controls keep as it
// is and others show as a break.
std::vector<std::wstring> LogLines();

// Empties the list and fills it with the given paths.
void ListFiles(const std::vector<std::wstring>& paths);

// Runs an action when a message pump reaches a message posted now: a message posted before Start is
// dispatched by the run's own pump while the first file is processed, one posted before a dialog
// opens by the dialog's own loop. An action that returns false is tried again a little later.
class WhenPumped {
public:
    explicit WhenPumped(std::function<bool()> action);
    ~WhenPumped();
    WhenPumped(const WhenPumped&) = delete;
    WhenPumped& operator=(const WhenPumped&) = delete;

    bool Done() const { return done; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::function<bool()> action;
    HWND window = nullptr;
    bool done = false;
};

// The visible dialog box of this thread, or null while none is open.
HWND FindOpenDialog();

template <class T>
T& Control(int32_t controlId) {
    return dynamic_cast<T&>(ControlById(controlId));
}
