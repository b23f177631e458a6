// Terminal and signal services of palvotrix-cli on POSIX systems.
#include "cli/Platform.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The only data that the signal handlers touch.
std::atomic<bool> interruptRequested{false};
std::atomic<int> terminationSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch a lock-free atomic");

void OnInterrupt(int) {
    interruptRequested.store(true, std::memory_order_relaxed);
}

void OnTermination(int signal) {
    int none = 0;
    // The first signal counts; the exit status names it.
    terminationSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
}

// A shell that started us in the background has us ignore SIGINT (and nohup SIGHUP); that stays so.
void Catch(int signal, void (*handler)(int)) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // The job's file reads and writes carry on; the flag alone ends the run.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

ConsoleSession::ConsoleSession() {
    const char* terminal = std::getenv("TERM");
    canShowProgress_ = isatty(STDERR_FILENO) == 1 && terminal != nullptr && std::strcmp(terminal, "dumb") != 0;
}

ConsoleSession::~ConsoleSession() = default;

void CatchInterrupts() {
    Catch(SIGINT, OnInterrupt);
    Catch(SIGTERM, OnTermination);
    Catch(SIGHUP, OnTermination);
    signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() {
    return interruptRequested.load(std::memory_order_relaxed);
}

int TerminationSignal() {
    return terminationSignal.load(std::memory_order_relaxed);
}
