// Console, Ctrl+C and standard-stream services of palvotrix-cli on Windows.
#include "cli/Platform.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

// The one datum that the console's control handler touches, from a thread of its own.
std::atomic<bool> interruptRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT) {
        return FALSE;
    }
    interruptRequested.store(true, std::memory_order_relaxed);
    return TRUE;
}

bool IsConsole(DWORD standardHandle, DWORD& mode) {
    const HANDLE handle = GetStdHandle(standardHandle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

ConsoleSession::ConsoleSession() {
    DWORD outputMode = 0;
    DWORD errorMode = 0;
    const bool outputIsConsole = IsConsole(STD_OUTPUT_HANDLE, outputMode);
    const bool errorIsConsole = IsConsole(STD_ERROR_HANDLE, errorMode);
    if (outputIsConsole || errorIsConsole) {
        previousOutputCodePage_ = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
    // The progress line is redrawn with escape sequences, which older consoles cannot take.
    if (errorIsConsole &&
        SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), errorMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
        previousErrorMode_ = errorMode;
        canShowProgress_ = true;
    }
}

ConsoleSession::~ConsoleSession() {
    if (canShowProgress_) {
        SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), previousErrorMode_);
    }
    if (previousOutputCodePage_ != 0) {
        SetConsoleOutputCP(previousOutputCodePage_);
    }
}

void CatchInterrupts() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested() {
    return interruptRequested.load(std::memory_order_relaxed);
}

// Closing the console gives the process a few seconds and then ends it; there is no signal that
// asks for an end without the file in progress.
int TerminationSignal() {
    return 0;
}

void WriteStandardStream(StandardStream stream, const std::string& text) {
    std::FILE* file = stream == StandardStream::Output ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), file);
    // Each line shows while the run goes on, also through a pipe.
    std::fflush(file);
}

std::FILE* CreateOutputFile(const Utf16String& path) {
    return _wfopen(path.c_str(), L"wb");
}
