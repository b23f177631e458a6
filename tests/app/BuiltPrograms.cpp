// Paths of the built programs, a started window program, and resource bytes.
#include "BuiltPrograms.h"

namespace {

// The test program's own folder, with its separator.
std::wstring TestFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.find_last_of(L"\\/") + 1);
    return path;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (owner == search->processId && std::wstring(className) == L"Windows") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForMainWindow(DWORD processId) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        WindowSearch search = {processId, nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(100);
    }
    return nullptr;
}

constexpr DWORD kEndTimeoutMs = 30000;

}  // namespace

std::wstring WindowProgramPath() {
    return TestFolder() + PALVOTRIX_PROGRAM_FROM_TESTS;
}

std::wstring CliProgramPath() {
    return TestFolder() + PALVOTRIX_CLI_FROM_TESTS;
}

StartedProgram::StartedProgram(const std::wstring& program, const std::wstring& environment) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    void* block = environment.empty() ? nullptr : const_cast<wchar_t*>(environment.c_str());
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block,
                        nullptr, &startup, &process_)) {
        process_ = {};
        return;
    }
    mainWindow_ = WaitForMainWindow(process_.dwProcessId);
    // Its controls are all there once it waits for input in its message loop.
    WaitForInputIdle(process_.hProcess, kEndTimeoutMs);
}

StartedProgram::~StartedProgram() {
    if (process_.hProcess == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kEndTimeoutMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool StartedProgram::Close(DWORD& exitCode) {
    PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
    if (process_.hProcess == nullptr || WaitForSingleObject(process_.hProcess, kEndTimeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(process_.hProcess, &exitCode) != 0;
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC resource = FindResourceW(module, name, type);
    if (resource == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return std::string(bytes, SizeofResource(module, resource));
}
