// The SIGBUS guard over the mapped input views. The handler may interrupt any thread at any point,
// also one that is registering a view: it touches only lock-free atomics in static storage, reads
// a slot only while no change of it is under way, and calls only mmap, sigaction and raise.
#include "core/GuardedViews.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace guardedviews {
namespace {

// Views live at once: a job holds one or two. Beyond this, files are read instead of viewed.
constexpr std::size_t kSlots = 64;
// Descriptors below the usual limit of open files; a file of a higher one is read instead.
constexpr int kRecordedDescriptors = 1024;
constexpr int kBitsPerWord = 32;

static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<std::uint32_t>::is_always_lock_free &&
                  std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

// One live view, [begin, end) mapped from `descriptor`. Its owner changes the fields only while
// `sequence` is odd, so that the handler reads them whole or passes the slot by. Every access is
// sequentially consistent, as that needs; there are only a few for each view.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<std::uint32_t> sequence{0};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<int> descriptor{-1};
};

// The guard's one instance: constant-initialised, so that it exists before any thread can fault.
struct Guard {
    Slot slots[kSlots];
    // One bit per descriptor whose view met a missing page.
    std::atomic<std::uint32_t> faulted[kRecordedDescriptors / kBitsPerWord];
    std::uintptr_t pageBytes = 0;
    struct sigaction previous {};
};

Guard theGuard;

void Publish(Slot& slot, std::uintptr_t begin, std::uintptr_t end, int descriptor) {
    const std::uint32_t sequence = slot.sequence.load();
    slot.sequence.store(sequence + 1);
    slot.begin.store(begin);
    slot.end.store(end);
    slot.descriptor.store(descriptor);
    slot.sequence.store(sequence + 2);
}

// The descriptor of the live view that holds `address`; false when none does.
bool ViewAt(std::uintptr_t address, int& descriptor) {
    for (const Slot& slot : theGuard.slots) {
        const std::uint32_t before = slot.sequence.load();
        const std::uintptr_t begin = slot.begin.load();
        const std::uintptr_t end = slot.end.load();
        const int owner = slot.descriptor.load();
        const bool stable = (before & 1) == 0 && slot.sequence.load() == before;
        if (stable && address >= begin && address < end) {
            descriptor = owner;
            return true;
        }
    }
    return false;
}

// Maps a private page of zeros over the page that holds `address`.
bool ZeroPageAt(std::uintptr_t address) {
    void* page = reinterpret_cast<void*>(address / theGuard.pageBytes * theGuard.pageBytes);
    return mmap(page, theGuard.pageBytes, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED;
}

std::atomic<std::uint32_t>& WordOf(int descriptor) {
    return theGuard.faulted[descriptor / kBitsPerWord];
}

std::uint32_t BitOf(int descriptor) {
    return std::uint32_t{1} << (descriptor % kBitsPerWord);
}

// A fault the guard does not own goes where it went before the guard: to the handler installed
// then, or to the default action, which ends the process.
void PassOn(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = theGuard.previous;
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    // An ignored SIGBUS from a fault would repeat for ever; the system ends the process instead.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Only a fault the system raised (si_code > 0) has a faulting address; one sent by a process has not.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    int descriptor = -1;
    const bool owned = info->si_code > 0 && ViewAt(address, descriptor) && ZeroPageAt(address);
    if (owned) {
        WordOf(descriptor).fetch_or(BitOf(descriptor), std::memory_order_relaxed);
    }
    errno = savedErrno;
    if (!owned) {
        PassOn(signal, info, context);
    }
}

bool Install() {
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (pageBytes <= 0 || sigaction(SIGBUS, nullptr, &theGuard.previous) != 0) {
        return false;
    }
    theGuard.pageBytes = static_cast<std::uintptr_t>(pageBytes);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    return sigaction(SIGBUS, &action, nullptr) == 0;
}

}  // namespace

bool Register(const void* base, std::size_t length, int descriptor) {
    static const bool installed = Install();
    if (!installed || descriptor < 0 || descriptor >= kRecordedDescriptors) {
        return false;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    for (Slot& slot : theGuard.slots) {
        bool taken = false;
        if (slot.taken.compare_exchange_strong(taken, true, std::memory_order_acquire)) {
            Publish(slot, begin, begin + length, descriptor);
            return true;
        }
    }
    return false;
}

void Unregister(const void* base) {
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    for (Slot& slot : theGuard.slots) {
        if (slot.taken.load(std::memory_order_acquire) && slot.begin.load(std::memory_order_relaxed) == begin) {
            Publish(slot, 0, 0, -1);
            slot.taken.store(false, std::memory_order_release);
            return;
        }
    }
}

bool Faulted(int descriptor) {
    return descriptor >= 0 && descriptor < kRecordedDescriptors &&
           (WordOf(descriptor).load(std::memory_order_relaxed) & BitOf(descriptor)) != 0;
}

void Forget(int descriptor) {
    if (descriptor >= 0 && descriptor < kRecordedDescriptors) {
        WordOf(descriptor).fetch_and(~BitOf(descriptor), std::memory_order_relaxed);
    }
}

}  // namespace guardedviews
