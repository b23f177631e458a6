// Terminal and Ctrl+C services of palvotrix-cli on POSIX systems.
#include "cli/Platform.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The one datum that the signal handler touches.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");

void OnInterrupt(int)
{
    interruptRequested.store(true, std::memory_order_relaxed);
}

}  // namespace

ConsoleSession::ConsoleSession()
{
    const char* terminal = std::getenv("TERM");
    canShowProgress_ = isatty(STDERR_FILENO) == 1 && terminal != nullptr && std::strcmp(terminal, "dumb") != 0;
}

ConsoleSession::~ConsoleSession() = default;

void CatchInterrupts()
{
    struct sigaction current {};
    // A shell that started us in the background has us ignore SIGINT; that stays so.
    if (sigaction(SIGINT, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The job's file reads and writes carry on; the flag alone ends the run.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested()
{
    return interruptRequested.load(std::memory_order_relaxed);
}
