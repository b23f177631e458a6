// Starts palvotrix-cli as a child process with its standard output and error on pipes, so that a
// test sees the program exactly as a script or a terminal would.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct CliResult {
    int exitStatus = -1;
    std::vector<std::string> lines;  // standard output, one entry per line, without line ends
    std::string errors;              // standard error as written
};

class CliProcess {
public:
    // `outputPipeBytes`, when not 0, is how much standard output the pipe holds unread.
    CliProcess(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder,
               std::size_t outputPipeBytes = 0);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // The next line of standard output; nothing once the output has ended.
    std::optional<std::string> ReadLine();
#ifndef _WIN32
    void Signal(int number);
    // Bytes of standard output written and not yet read.
    std::size_t UnreadOutputBytes() const;
    // Whether the program ends within `limit` while its standard output is not read.
    bool EndsWithin(std::chrono::seconds limit);
#endif
    // Reads what is left of standard output and waits for the program to end.
    CliResult Finish();

private:
    std::size_t ReadOutput(char* buffer, std::size_t capacity);
    int Wait();
    void CloseAll();

    std::string pending_;
    std::vector<std::string> lines_;
    std::string errors_;
    std::thread errorReader_;
    bool finished_ = false;
    std::optional<int> exitStatus_;
#ifdef _WIN32
    void* process_ = nullptr;
    void* outputPipe_ = nullptr;
    void* errorPipe_ = nullptr;
#else
    int pid_ = -1;
    int outputPipe_ = -1;
    int errorPipe_ = -1;
#endif
};

CliResult RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder);
