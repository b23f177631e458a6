// An in-memory stand-in for the core's file services, linked instead of the platform's: files
// live in a map, and a test can arm faults and watch every step the core takes.
#pragma once

#include "core/Utf16.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <vector>

namespace memoryfs {

using Bytes = std::vector<std::uint8_t>;

// The file-layer steps of one job, in the order they happen.
enum class Step { Open, Read, Create, Write, Flush, Close, Move, Remove };

struct Faults {
    bool failCreate = false;
    // A write fails once the file it goes to would grow past this many bytes; the bytes up to the
    // limit are written first, as on a disk that fills up.
    std::uint64_t failWritePastByte = std::numeric_limits<std::uint64_t>::max();
    bool failFlush = false;
    bool failCloseAfterWriting = false;
    bool failMove = false;
    // What the question for the free space of a folder answers.
    std::uint64_t freeBytes = std::numeric_limits<std::uint64_t>::max();
};

// Empties the file system, disarms every fault and forgets the observer.
void Reset();
Faults& ArmedFaults();
// Called before each step is carried out, e.g. to press Stop at that moment.
void ObserveSteps(std::function<void(Step)> observer);

// Puts a file in place, or rewrites it: a file rewritten while it is open reports a new stamp.
void Put(const Utf16String& path, const Bytes& bytes);
// A file that reports `claimedSize` bytes although only `bytes` are there, so that sizes beyond
// the memory of the test can be tried: a read past them copies what there is and fails.
void PutClaiming(const Utf16String& path, const Bytes& bytes, std::uint64_t claimedSize);
bool Exists(const Utf16String& path);
Bytes Get(const Utf16String& path);
const std::map<Utf16String, Bytes>& Files();
// The current directory that the double reports.
Utf16String CurrentFolderPath();

}  // namespace memoryfs
