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
    Writing* writing = abandoned_ ? nullptr : WritingOfThisThread(true);
    if (writing == nullptr) {
        return FileHandle();
    }
    return CreateTemporaryFor(target, replacesFile, writing->temporary);
}

bool PendingTemporary::MoveIntoPlace(const Utf16Char* target) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Writing* writing = WritingOfThisThread(false);
    if (abandoned_ || writing == nullptr || !fileservice::MoveIntoPlace(writing->temporary.c_str(), target)) {
        return false;
    }
    fileservice::FlushFolderOf(target);
    writing->temporary.clear();
    writing->placed = target;
    return true;
}

bool PendingTemporary::Hold(FileHandle file, const Utf16Char* target, std::size_t order) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Writing* writing = WritingOfThisThread(false);
    if (writing == nullptr) {
        return false;
    }
    const auto later =
        std::find_if(held_.begin(), held_.end(), [order](const HeldOutput& output) { return output.order > order; });
    try {
        held_.insert(later, HeldOutput{target, writing->temporary, std::move(file), order});
    } catch (const std::bad_alloc&) {
        return false;
    }
    writing->temporary.clear();
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
    Writing* writing = WritingOfThisThread(false);
    if (writing == nullptr) {
        return;
    }
    if (!abandoned_ && !writing->temporary.empty()) {
        fileservice::RemoveFileAt(writing->temporary.c_str());
    }
    writing->temporary.clear();
}

void PendingTemporary::DropHeld(std::size_t order) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto output =
        std::find_if(held_.begin(), held_.end(), [order](const HeldOutput& held) { return held.order == order; });
    if (output == held_.end()) {
        return;
    }
    // Windows removes no open file.
    output->file.Close();
    if (!abandoned_) {
        fileservice::RemoveFileAt(output->temporary.c_str());
    }
    held_.erase(output);
}

std::vector<bool> PendingTemporary::Abandon(const std::vector<Utf16String>& targets) {
    mutex_.lock();
    abandoned_ = true;
    for (const Writing& writing : writing_) {
        if (!writing.temporary.empty()) {
            fileservice::RemoveFileAt(writing.temporary.c_str());
        }
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

PendingTemporary::Writing* PendingTemporary::WritingOfThisThread(bool add) {
    const std::thread::id thread = std::this_thread::get_id();
    for (Writing& writing : writing_) {
        if (writing.thread == thread) {
            return &writing;
        }
    }
    if (!add) {
        return nullptr;
    }
    writing_.push_back(Writing{thread, {}, {}});
    return &writing_.back();
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
    return std::any_of(writing_.begin(), writing_.end(),
                       [&target](const Writing& writing) { return writing.placed == target; }) ||
           std::any_of(placing_.begin(), placing_.end(),
                       [&target](const HeldOutput& output) { return output.placed && output.target == target; });
}

void PlaceHeldOutputs(std::vector<FileReason>& reasons) {
    PendingTemporary::Instance().PlaceHeld(reasons);
}

void DropHeldOutput(std::size_t order) {
    PendingTemporary::Instance().DropHeld(order);
}
