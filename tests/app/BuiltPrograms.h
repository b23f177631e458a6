// The built programs as the tests see them from outside: their paths, a started window program and
// its main window, and the resources of an executable file.
#pragma once

#include <windows.h>

#include <string>

// palvotrix.exe and palvotrix-cli.exe of this build.
std::wstring WindowProgramPath();
std::wstring CliProgramPath();

// The window program started from `program`, its main window found, ended when the guard goes.
class StartedProgram {
public:
    // `environment`: a block of "NAME=value" strings for the child, or empty to pass this one's.
    explicit StartedProgram(const std::wstring& program, const std::wstring& environment = L"");
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Null when the program did not start or showed no main window in time.
    HWND MainWindow() const { return mainWindow_; }
    // Closes the main window as the user would and waits until the program has ended; false when it
    // had not ended in time.
    bool Close(DWORD& exitCode);

private:
    PROCESS_INFORMATION process_ = {};
    HWND mainWindow_ = nullptr;
};

// The bytes of one resource of a module loaded as a data file; empty when it has none.
std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type);
