#include "ChildMeasure.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

bool FlushFile(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && fsync(fd) == 0;
    return (fd < 0 || close(fd) == 0) && flushed;
}

}  // namespace

Measurement MeasureInChild(const std::function<int()>& work, const std::filesystem::path& flushAfter) {
    std::fflush(nullptr);
    // The disk's work left over from the previous case (deleted outputs, journal commits) is not
    // this case's to pay.
    sync();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        _exit(work());
    }
    Measurement m;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return m;
    }
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!flushAfter.empty()) {
        m.ok = m.ok && FlushFile(flushAfter);
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    return m;
}
