// Temporary files beside their targets, and the one record of them that a signal's ending needs.
#include "core/OutputPlacing.h"

#include "core/PathParts.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <new>
#include <random>
#include <utility>

namespace {

constexpr char kTemporaryPrefix[] = "pvx-";
constexpr int kNameAttempts = 16;

// 64 random bits. The system's source seeds each thread's generator once: asked for every file, it
// cost as much as a small file's job.
std::uint64_t RandomBits() {
    thread_local std::mt19937_64 generator([] {
        std::random_device source;
        return std::uint64_t{source()} << 32 | source();
    }());
    return generator();
}

// A short fixed prefix, 64 random bits and the suffix, so that it fits wherever the target's name
// fits, and concurrent runs never meet on one.
Utf16String TemporaryPathFor(const Utf16Char* target) {
    const Utf16String path = FolderPartOf(target);
    const std::uint64_t bits = RandomBits();
    char name[sizeof kTemporaryPrefix + 16];
    std::snprintf(name, sizeof name, "%s%016llx", kTemporaryPrefix, static_cast<unsigned long long>(bits));
    return path + Utf16FromUtf8(name) + Utf16FromUtf8(kTemporarySuffix);
}

bool SameFolder(const Utf16String& one, const Utf16String& other) {
    const auto length = static_cast<std::size_t>(FileNameOf(one.c_str()) - one.c_str());
    return length == static_cast<std::size_t>(FileNameOf(other.c_str()) - other.c_str()) &&
           one.compare(0, length, other, 0, length) == 0;
}

// The reason is taken at once, before another call can change the system's answer.
FileReason FlushAndClose(HeldOutput& output) {
    FileReason reason;
    if (!fileservice::FlushToDisk(output.file) || !output.file.Close()) {
        reason = WriteFailure();
    }
    output.file.Close();
    return reason;
}

}  // namespace

FileReason WriteFailure(FileReason::Kind otherwise) {
    return FileReason(fileservice::FailedForLackOfRoom() ? FileReason::Kind::NoRoom : otherwise);
}

FileHandle CreateTemporaryFor(const Utf16Char* target, bool replacesFile, Utf16String& path) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        path = TemporaryPathFor(target);
        bool nameTaken = false;
        FileHandle file = fileservice::CreateNew(path.c_str(), replacesFile, nameTaken);
        if (file.IsOpen()) {
            return file;
        }
        if (!nameTaken) {
            break;
        }
    }
    path.clear();
    return FileHandle();
}

PendingTemporary& PendingTemporary::Instance() {
    // Never destroyed: a worker may still write while the process ends.
    static PendingTemporary* const instance = new PendingTemporary();
    return *instance;
}

FileHandle PendingTemporary::Create(const Utf16Char* target, bool replacesFile) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) {
        return FileHandle();
    }
    return CreateTemporaryFor(target, replacesFile, path_);
}

bool PendingTemporary::MoveIntoPlace(const Utf16Char* target) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_ || !fileservice::MoveIntoPlace(path_.c_str(), target)) {
        return false;
    }
    fileservice::FlushFolderOf(target);
    path_.clear();
    placed_ = target;
    return true;
}

bool PendingTemporary::Hold(FileHandle file, const Utf16Char* target) {
    const std::lock_guard<std::mutex> lock(mutex_);
    try {
        held_.push_back(HeldOutput{target, path_, std::move(file)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    path_.clear();
    return true;
}

void PendingTemporary::PlaceHeld(std::vector<FileReason>& reasons) {
    TakeHeld(reasons.size());
    auto reason = reasons.begin();
    for (HeldOutput& output : placing_) {
        *reason++ = FlushAndClose(output);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    reason = reasons.begin();
    for (HeldOutput& output : placing_) {
        *reason = MoveHeld(output, *reason);
        ++reason;
    }
    FlushFoldersOfPlaced();
}

void PendingTemporary::Remove() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!abandoned_ && !path_.empty()) {
        fileservice::RemoveFileAt(path_.c_str());
    }
    path_.clear();
}

std::vector<bool> PendingTemporary::Abandon(const std::vector<Utf16String>& targets) {
    mutex_.lock();
    abandoned_ = true;
    if (!path_.empty()) {
        fileservice::RemoveFileAt(path_.c_str());
    }
    // Those being placed may be flushed meanwhile, and stay open; a held one is closed first,
    // as Windows removes no open file.
    for (const HeldOutput& output : placing_) {
        if (!output.placed) {
            fileservice::RemoveFileAt(output.temporary.c_str());
        }
    }
    for (HeldOutput& output : held_) {
        output.file.Close();
        fileservice::RemoveFileAt(output.temporary.c_str());
    }
    std::vector<bool> placed;
    for (const Utf16String& target : targets) {
        placed.push_back(WasPlaced(target));
    }
    return placed;
}

// Moves nodes, so that nothing is allocated.
void PendingTemporary::TakeHeld(std::size_t count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    placing_.clear();
    auto end = held_.begin();
    std::advance(end, static_cast<std::ptrdiff_t>(std::min(count, held_.size())));
    placing_.splice(placing_.end(), held_, held_.begin(), end);
}

FileReason PendingTemporary::MoveHeld(HeldOutput& output, FileReason reason) {
    if (reason.kind == FileReason::Kind::None) {
        output.placed = !abandoned_ && fileservice::MoveIntoPlace(output.temporary.c_str(), output.target.c_str());
        if (output.placed) {
            return reason;
        }
        reason = WriteFailure();
    }
    if (!abandoned_) {
        fileservice::RemoveFileAt(output.temporary.c_str());
    }
    return reason;
}

void PendingTemporary::FlushFoldersOfPlaced() const {
    const Utf16String* flushed = nullptr;
    for (const HeldOutput& output : placing_) {
        if (output.placed && (flushed == nullptr || !SameFolder(*flushed, output.target))) {
            fileservice::FlushFolderOf(output.target.c_str());
            flushed = &output.target;
        }
    }
}

// An output path that does not fit comes as an empty one, and was never written.
bool PendingTemporary::WasPlaced(const Utf16String& target) const {
    if (target.empty()) {
        return false;
    }
    return target == placed_ || std::any_of(placing_.begin(), placing_.end(), [&target](const HeldOutput& output) {
               return output.placed && output.target == target;
           });
}

void PlaceHeldOutputs(std::vector<FileReason>& reasons) {
    PendingTemporary::Instance().PlaceHeld(reasons);
}
