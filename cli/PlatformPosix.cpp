// Terminal, signal and standard-stream services of palvotrix-cli on POSIX systems.
#include "cli/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The only data that the signal handlers touch.
std::atomic<bool> interruptRequested{false};
std::atomic<int> terminationSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch a lock-free atomic");

// A pipe that a termination signal writes into, so that a write to a full standard stream wakes
// up, also one that was about to wait when the signal came. Set up before the handlers.
struct WakePipe {
    int readEnd = -1;
    int writeEnd = -1;
};
WakePipe wake;

void OnInterrupt(int) {
    interruptRequested.store(true, std::memory_order_relaxed);
}

void OnTermination(int signal) {
    const int savedErrno = errno;
    int none = 0;
    // The first signal counts; the exit status names it.
    terminationSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
    const char byte = 0;
    [[maybe_unused]] const ssize_t sent = write(wake.writeEnd, &byte, 1);
    errno = savedErrno;
}

// A shell that started us in the background has us ignore SIGINT (and nohup SIGHUP); that stays so.
void Catch(int signal, void (*handler)(int), int flags) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(signal, &action, nullptr);
}

// False when the stream cannot take a byte now and a termination signal has come: the write
// gives up instead of holding the run. A stream in error counts as ready; its write says so.
bool WaitForRoom(int stream) {
    for (;;) {
        pollfd waits[] = {{stream, POLLOUT, 0}, {wake.readEnd, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return true;
        }
        if (waits[0].revents != 0) {
            return true;
        }
        if (waits[1].revents != 0) {
            return false;
        }
    }
}

}  // namespace

ConsoleSession::ConsoleSession() {
    const char* terminal = std::getenv("TERM");
    canShowProgress_ = isatty(STDERR_FILENO) == 1 && terminal != nullptr && std::strcmp(terminal, "dumb") != 0;
}

ConsoleSession::~ConsoleSession() = default;

void CatchInterrupts() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wake = {ends[0], ends[1]};
    }
    // The job's file reads and writes carry on after Ctrl+C; the flag alone ends the run.
    Catch(SIGINT, OnInterrupt, SA_RESTART);
    // Without SA_RESTART, a write that waits anyway returns when they come.
    Catch(SIGTERM, OnTermination, 0);
    Catch(SIGHUP, OnTermination, 0);
    signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() {
    return interruptRequested.load(std::memory_order_relaxed);
}

int TerminationSignal() {
    return terminationSignal.load(std::memory_order_relaxed);
}

void WriteStandardStream(StandardStream stream, const std::string& text) {
    const int descriptor = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    std::size_t done = 0;
    while (done < text.size() && WaitForRoom(descriptor)) {
        // A pipe with room takes this much at once without waiting.
        const std::size_t piece = std::min<std::size_t>(text.size() - done, PIPE_BUF);
        const ssize_t written = write(descriptor, text.data() + done, piece);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

std::FILE* CreateOutputFile(const Utf16String& path) {
    return std::fopen(Utf8FromUtf16(path.c_str()).c_str(), "wb");
}
