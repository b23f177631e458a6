// The in-memory file services: every function of core/FileService.h, over a map of paths to bytes.
#include "MemoryFileService.h"

#include "core/FileService.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace memoryfs {
namespace {

struct OpenFile {
    Utf16String path;
    bool writing = false;
};

struct State {
    std::map<Utf16String, Bytes> files;
    std::map<Utf16String, std::uint64_t> claimedSizes;
    // How often each file was put, its stamp's time of change.
    std::map<Utf16String, std::uint64_t> versions;
    // Indexed by a handle's native value; a closed slot is empty and never reused.
    std::vector<OpenFile> open;
    std::vector<bool> closed;
    Faults faults;
    // Whether the step that failed last failed as on a full disk.
    bool lastFailureNoRoom = false;
    std::function<void(Step)> observer;
};

State& TheState() {
    static State state;
    return state;
}

void Announce(Step step) {
    if (TheState().observer) {
        TheState().observer(step);
    }
}

OpenFile* Lookup(const FileHandle& file) {
    State& state = TheState();
    const auto slot = static_cast<std::size_t>(file.Native());
    if (!file.IsOpen() || slot >= state.open.size() || state.closed[slot]) {
        return nullptr;
    }
    return &state.open[slot];
}

// An armed fault other than a full disk; it is then the last failure.
bool Failing(bool armed) {
    if (armed) {
        TheState().lastFailureNoRoom = false;
    }
    return armed;
}

FileHandle Track(OpenFile file) {
    State& state = TheState();
    state.open.push_back(std::move(file));
    state.closed.push_back(false);
    return FileHandle(static_cast<std::intptr_t>(state.open.size() - 1));
}

}  // namespace

void Reset() {
    TheState() = State{};
}
Faults& ArmedFaults() {
    return TheState().faults;
}
void ObserveSteps(std::function<void(Step)> observer) {
    TheState().observer = std::move(observer);
}

void Put(const Utf16String& path, const Bytes& bytes) {
    TheState().files[path] = bytes;
    TheState().claimedSizes.erase(path);
    ++TheState().versions[path];
}

void PutClaiming(const Utf16String& path, const Bytes& bytes, std::uint64_t claimedSize) {
    Put(path, bytes);
    TheState().claimedSizes[path] = claimedSize;
}

bool Exists(const Utf16String& path) {
    return TheState().files.count(path) != 0;
}

Bytes Get(const Utf16String& path) {
    const auto found = TheState().files.find(path);
    return found == TheState().files.end() ? Bytes{} : found->second;
}

const std::map<Utf16String, Bytes>& Files() {
    return TheState().files;
}
Utf16String CurrentFolderPath() {
    return Utf16FromUtf8("/current");
}

}  // namespace memoryfs

using memoryfs::Step;

bool FileHandle::Close() {
    const memoryfs::OpenFile* file = memoryfs::Lookup(*this);
    if (file == nullptr) {
        native_ = kInvalid;
        return true;
    }
    const bool wasWriting = file->writing;
    memoryfs::TheState().closed[static_cast<std::size_t>(std::exchange(native_, kInvalid))] = true;
    if (wasWriting) {
        memoryfs::Announce(Step::Close);
        return !memoryfs::Failing(memoryfs::TheState().faults.failCloseAfterWriting);
    }
    return true;
}

void FileView::Release() {}

namespace fileservice {

FileHandle OpenForReading(const Utf16Char* path, bool& notRegular) {
    memoryfs::Announce(Step::Open);
    notRegular = false;
    if (!memoryfs::Exists(path)) {
        return FileHandle();
    }
    return memoryfs::Track({path, false});
}

bool StampOf(const FileHandle& file, FileStamp& stamp) {
    const memoryfs::OpenFile* open = memoryfs::Lookup(file);
    if (open == nullptr) {
        return false;
    }
    memoryfs::State& state = memoryfs::TheState();
    const auto claimed = state.claimedSizes.find(open->path);
    const bool claiming = claimed != state.claimedSizes.end();
    stamp.size = claiming ? claimed->second : state.files[open->path].size();
    stamp.contentsChanged = state.versions[open->path];
    stamp.entryChanged = 0;
    return true;
}

// Nothing is viewed here.
bool ViewsFailed(const FileHandle&) {
    return false;
}

// Always read, so that every read is announced to the fault injection.
bool MapAt(const FileHandle&, std::uint64_t, std::size_t, FileView&) {
    return false;
}

// The measuring pass reads the halves of a long file on two threads at once; their reads, and the
// observer that sees them, take turns.
bool ReadAt(const FileHandle& file, std::uint64_t offset, void* buffer, std::size_t count) {
    static std::mutex readers;
    const std::lock_guard<std::mutex> lock(readers);
    memoryfs::Announce(Step::Read);
    const memoryfs::OpenFile* open = memoryfs::Lookup(file);
    if (open == nullptr || open->writing) {
        return false;
    }
    const memoryfs::Bytes& bytes = memoryfs::TheState().files[open->path];
    const std::uint64_t there = offset < bytes.size() ? bytes.size() - offset : 0;
    const std::size_t copied = static_cast<std::size_t>(std::min<std::uint64_t>(count, there));
    if (copied > 0) {
        std::memcpy(buffer, bytes.data() + offset, copied);
    }
    return copied == count;
}

TargetState StateOfTarget(const Utf16Char* target) {
    return memoryfs::Exists(target) ? TargetState::File : TargetState::Absent;
}

FileHandle CreateNew(const Utf16Char* path, bool, bool& nameTaken) {
    memoryfs::Announce(Step::Create);
    nameTaken = memoryfs::Exists(path);
    if (memoryfs::Failing(memoryfs::TheState().faults.failCreate) || nameTaken) {
        return FileHandle();
    }
    memoryfs::TheState().files[path].clear();
    memoryfs::TheState().claimedSizes.erase(path);
    return memoryfs::Track({path, true});
}

bool TakeOverIdentity(const FileHandle&, const Utf16Char*) {
    return true;
}

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count) {
    memoryfs::Announce(Step::Write);
    const memoryfs::OpenFile* open = memoryfs::Lookup(file);
    if (open == nullptr || !open->writing) {
        return false;
    }
    memoryfs::Bytes& bytes = memoryfs::TheState().files[open->path];
    const std::uint64_t limit = memoryfs::TheState().faults.failWritePastByte;
    const std::uint64_t room = limit > bytes.size() ? limit - bytes.size() : 0;
    const auto* first = static_cast<const std::uint8_t*>(data);
    const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(count, room));
    bytes.insert(bytes.end(), first, first + taken);
    if (taken != count) {
        memoryfs::TheState().lastFailureNoRoom = true;
        return false;
    }
    return true;
}

bool FlushToDisk(const FileHandle& file) {
    memoryfs::Announce(Step::Flush);
    return memoryfs::Lookup(file) != nullptr && !memoryfs::Failing(memoryfs::TheState().faults.failFlush);
}

void StartFlush(const FileHandle&) {}

bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target) {
    memoryfs::Announce(Step::Move);
    auto& files = memoryfs::TheState().files;
    const auto found = files.find(source);
    if (memoryfs::Failing(memoryfs::TheState().faults.failMove) || found == files.end()) {
        return false;
    }
    memoryfs::Bytes bytes = std::move(found->second);
    files.erase(found);
    files[target] = std::move(bytes);
    return true;
}

void FlushFolderOf(const Utf16Char*) {}

bool RemoveFileAt(const Utf16Char* path) {
    memoryfs::Announce(Step::Remove);
    return memoryfs::TheState().files.erase(path) != 0;
}

bool FreeSpace(const Utf16Char*, std::uint64_t& bytes) {
    bytes = memoryfs::TheState().faults.freeBytes;
    return true;
}

bool FailedForLackOfRoom() {
    return memoryfs::TheState().lastFailureNoRoom;
}

bool CurrentFolder(Utf16Char* out, std::size_t capacity) {
    return Utf16Copy(out, capacity, memoryfs::CurrentFolderPath().c_str());
}

}  // namespace fileservice
