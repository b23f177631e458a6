// Test support for the batch commands: the program's main window with all its controls, temporary
// folders, small WAV files, and clicks and log reads through the real windows.
#pragma once

#include "app/Startup.h"
#include "controls/ControlItem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The program's own start-up, run once per test program: the main window with all its controls.
Shell& TheProgram();
HWND TheMainWindow();

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder();
    // A folder of a fixed name, emptied first: a child process of a death test finds the same one.
    explicit TempFolder(const std::wstring& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path; }
    // Creates a subfolder and returns its full path.
    std::wstring Subfolder(const wchar_t* name) const;

private:
    std::wstring path;
};

// Makes dir the current directory for the guard's lifetime.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& dir);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring previous;
};

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

std::wstring CurrentDirectory();

// A 16-bit mono PCM file whose samples alternate between +amplitude and -amplitude.
std::string MakeWave(int16_t amplitude, uint32_t sampleCount);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; empty when the file cannot be read.
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// The names of the files in a folder.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

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
