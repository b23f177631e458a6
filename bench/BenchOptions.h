// The benchmark's command line: where its files go, and which runs it makes.
#pragma once

#include <filesystem>

struct BenchOptions {
    std::filesystem::path work;
    // The outputs go into a folder "out" in here; one on tmpfs takes the disk out of the comparison.
    std::filesystem::path outputs;
    // The native command-line program, for the many-files case; empty to skip it.
    std::filesystem::path cli;
    // The i686 command-line program; empty when this machine cannot run it.
    std::filesystem::path win32Cli;
    // The i686 driver of the window's run (window_run.exe); empty when this machine cannot run it.
    std::filesystem::path win32Window;
    bool quick = false;
    bool keep = false;
    bool sox = true;
};

// False for an unknown option or a missing or second work folder.
bool ParseBenchOptions(int argc, char** argv, BenchOptions& options);
