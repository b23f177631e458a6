// Measuring one piece of work in a fresh child process: its time from fork to its end, and its
// peak resident memory as the kernel counts it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

struct Measurement {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
    bool ok = false;
};

// Runs `work` in a child, which exits with the status it returns (work that replaces the child's
// program never returns). The measurement is ok when that status is 0. A `flushAfter` path is
// flushed to disk before the time stops, for a program that does not flush its own output.
Measurement MeasureInChild(const std::function<int()>& work, const std::filesystem::path& flushAfter = {});
