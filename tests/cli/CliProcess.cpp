// Child-process plumbing for the command-line tests: posix_spawn here, CreateProcessW on Windows.
#include "CliProcess.h"

#include "core/Utf16.h"

#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

std::string ExecutablePath() {
    std::string path = PALVOTRIX_CLI_PATH;
#ifdef _WIN32
    // Under Wine the build's Unix path names the same file on the current drive.
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return path;
}

#ifdef _WIN32

// Quoted so that the child's argument splitting gives back exactly `argument`.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

void MakePipe(HANDLE& readEnd, HANDLE& writeEnd, std::size_t bytes = 0) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, static_cast<DWORD>(bytes)) ||
        !SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
}

std::size_t ReadPipe(void* pipe, char* buffer, std::size_t capacity) {
    DWORD count = 0;
    return ReadFile(pipe, buffer, static_cast<DWORD>(capacity), &count, nullptr) ? count : 0;
}

#else

std::size_t ReadPipe(int pipe, char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t count = read(pipe, buffer, capacity);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

#endif

}  // namespace

#ifdef _WIN32

CliProcess::CliProcess(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder,
                       std::size_t outputPipeBytes) {
    const std::wstring executable = Utf16FromUtf8(ExecutablePath());
    std::wstring commandLine = QuoteArgument(executable);
    for (const std::string& argument : arguments) {
        commandLine += L" " + QuoteArgument(Utf16FromUtf8(argument));
    }
    HANDLE outputWrite = nullptr;
    HANDLE errorWrite = nullptr;
    MakePipe(outputPipe_, outputWrite, outputPipeBytes);
    MakePipe(errorPipe_, errorWrite);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outputWrite;
    startup.hStdError = errorWrite;
    PROCESS_INFORMATION info{};
    const std::wstring folder = workingFolder.wstring();
    const BOOL started = CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &info);
    CloseHandle(outputWrite);
    CloseHandle(errorWrite);
    if (!started) {
        CloseAll();
        throw std::runtime_error("cannot start " + ExecutablePath());
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    errorReader_ = std::thread([this] {
        char buffer[4096];
        while (const std::size_t count = ReadPipe(errorPipe_, buffer, sizeof buffer)) {
            errors_.append(buffer, count);
        }
    });
}

int CliProcess::Wait() {
    WaitForSingleObject(process_, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process_, &status);
    exitStatus_ = static_cast<int>(status);
    return *exitStatus_;
}

void CliProcess::CloseAll() {
    for (void* handle : {process_, outputPipe_, errorPipe_}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    process_ = outputPipe_ = errorPipe_ = nullptr;
}

CliProcess::~CliProcess() {
    if (!finished_ && process_ != nullptr) {
        TerminateProcess(process_, 1);
        Wait();
    }
    if (errorReader_.joinable()) {
        errorReader_.join();
    }
    CloseAll();
}

#else

CliProcess::CliProcess(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder,
                       std::size_t outputPipeBytes) {
    int output[2];
    int error[2];
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(error, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    if (outputPipeBytes != 0 && fcntl(output[0], F_SETPIPE_SZ, static_cast<int>(outputPipeBytes)) < 0) {
        throw std::runtime_error("F_SETPIPE_SZ failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, error[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    // A test run in the background has SIGINT ignored; the program must see it as a terminal would.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    const std::string executable = ExecutablePath();
    std::vector<char*> argv{const_cast<char*>(executable.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int started = posix_spawn(&pid_, executable.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(error[1]);
    outputPipe_ = output[0];
    errorPipe_ = error[0];
    if (started != 0) {
        pid_ = -1;
        CloseAll();
        throw std::runtime_error("cannot start " + executable);
    }
    errorReader_ = std::thread([this] {
        char buffer[4096];
        while (const std::size_t count = ReadPipe(errorPipe_, buffer, sizeof buffer)) {
            errors_.append(buffer, count);
        }
    });
}

void CliProcess::Signal(int number) {
    kill(pid_, number);
}

std::size_t CliProcess::UnreadOutputBytes() const {
    int bytes = 0;
    return ioctl(outputPipe_, FIONREAD, &bytes) == 0 ? static_cast<std::size_t>(bytes) : 0;
}

namespace {

int StatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace

bool CliProcess::EndsWithin(std::chrono::seconds limit) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!exitStatus_ && std::chrono::steady_clock::now() < giveUp) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exitStatus_ = StatusOf(status);
            pid_ = -1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return exitStatus_.has_value();
}

int CliProcess::Wait() {
    if (exitStatus_) {
        return *exitStatus_;
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    exitStatus_ = StatusOf(status);
    return *exitStatus_;
}

void CliProcess::CloseAll() {
    for (int pipe : {outputPipe_, errorPipe_}) {
        if (pipe >= 0) {
            close(pipe);
        }
    }
    outputPipe_ = errorPipe_ = -1;
}

CliProcess::~CliProcess() {
    if (!finished_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait();
    }
    if (errorReader_.joinable()) {
        errorReader_.join();
    }
    CloseAll();
}

#endif

std::size_t CliProcess::ReadOutput(char* buffer, std::size_t capacity) {
    return ReadPipe(outputPipe_, buffer, capacity);
}

std::optional<std::string> CliProcess::ReadLine() {
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        char buffer[4096];
        const std::size_t count = ReadOutput(buffer, sizeof buffer);
        if (count == 0) {
            if (pending_.empty()) {
                return std::nullopt;
            }
            end = pending_.size();
            pending_.push_back('\n');
            break;
        }
        pending_.append(buffer, count);
    }
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    // A Windows console program ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    lines_.push_back(line);
    return line;
}

CliResult CliProcess::Finish() {
    while (ReadLine()) {
    }
    errorReader_.join();
    CliResult result;
    result.exitStatus = Wait();
    finished_ = true;
    result.lines = lines_;
    result.errors = errors_;
    return result;
}

CliResult RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder) {
    return CliProcess(arguments, workingFolder).Finish();
}
