// How far the output of the file in progress has been written. The worker stores the count as it
// writes and the front end reads it while it waits: no call crosses between them per block.
#pragma once

#include <atomic>
#include <cstdint>

class WriteProgress {
public:
    // A new output of `total` bytes, none of them written yet.
    void Begin(std::uint64_t total) {
        done_.store(0, std::memory_order_relaxed);
        total_.store(total, std::memory_order_relaxed);
    }
    void Written(std::uint64_t done) { done_.store(done, std::memory_order_relaxed); }

    // The whole percent written so far; 0 before the output has begun.
    unsigned Percent() const {
        const std::uint64_t total = total_.load(std::memory_order_relaxed);
        const std::uint64_t done = done_.load(std::memory_order_relaxed);
        if (total == 0) {
            return 0;
        }
        // In double: a hundred times a size past 2^57 bytes would not fit.
        return static_cast<unsigned>(static_cast<double>(done < total ? done : total) * 100.0 /
                                     static_cast<double>(total));
    }

private:
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
};
