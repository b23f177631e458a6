// The benchmark's runs under Wine, timed here so that Wine's own start is left out of both: the
// window's run of a folder of WAV files, driven as the tests drive it, from the click on Start to
// the end of the run; or the command-line program's run of the same files, from its start to its
// exit. Prints the seconds; exits with 0 only when every file was written.
//
//   window_run --window INPUT-FOLDER OUTPUT-FOLDER
//   window_run --cli PALVOTRIX-CLI INPUT-FOLDER OUTPUT-FOLDER
#include "RunFixture.h"
#include "controls/ControlIds.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The benchmark's settings for every program: a gain of 150 %, both ends trimmed at -40 dB.
const std::vector<std::wstring> kCliSettings = {L"--volume",         L"150", L"--head-threshold", L"-40",
                                                L"--tail-threshold", L"-40"};

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? full : path;
}

// The names of the folder's WAV files, in the order of their names.
std::vector<std::wstring> WaveNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : ListFolder(folder)) {
        names.push_back(entry.wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The run succeeded when its log ends in the completion line and the folder, with no error line.
bool LogSaysAllWritten() {
    const Lines log = LogLines();
    return log.size() >= 3 && log[log.size() - 3] == kCompletedLine &&
           std::find(log.begin(), log.end(), kErrorLine) == log.end();
}

int RunWindow(const std::wstring& input, const std::wstring& output) {
    ShowWindow(TheMainWindow(), SW_SHOW);
    UpdateWindow(TheMainWindow());
    SetBoxText(ControlId::OutputFolder, output);
    EnterValue(ControlId::VolumePercent, L"150");
    EnterValue(ControlId::HeadThreshold, L"-40");
    EnterValue(ControlId::TailThreshold, L"-40");
    std::vector<std::wstring> paths;
    for (const std::wstring& name : WaveNames(input)) {
        paths.push_back(input + L"\\" + name);
    }
    ListFiles(paths);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    Click(ControlId::Start);
    QueryPerformanceCounter(&end);
    std::printf("%.3f\n", Seconds(start, end));
    return LogSaysAllWritten() && ListFolder(output).size() == paths.size() ? 0 : 1;
}

// The files are named relative to the input folder, so that a thousand of them fit a command line.
int RunCli(const std::wstring& cli, const std::wstring& input, const std::wstring& output) {
    std::wstring commandLine = L"\"" + cli + L"\"";
    for (const std::wstring& argument : kCliSettings) {
        commandLine += L" " + argument;
    }
    commandLine += L" -o \"" + output + L"\"";
    const std::vector<std::wstring> names = WaveNames(input);
    for (const std::wstring& name : names) {
        commandLine += L" \"" + name + L"\"";
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE nul =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, input.c_str(),
                                        &startup, &process);
    DWORD exitCode = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        QueryPerformanceCounter(&end);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::printf("%.3f\n", Seconds(start, end));
    }
    CloseHandle(nul);
    return started && exitCode == 0 && ListFolder(output).size() == names.size() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == L"--window") {
        return RunWindow(FullPath(args[1]), FullPath(args[2]));
    }
    if (args.size() == 4 && args[0] == L"--cli") {
        return RunCli(FullPath(args[1]), FullPath(args[2]), FullPath(args[3]));
    }
    std::fprintf(stderr, "usage: window_run --window INPUT OUTPUT | --cli PALVOTRIX-CLI INPUT OUTPUT\n");
    return 2;
}
