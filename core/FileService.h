// The few file operations the audio core needs. One implementation per platform is linked in
// (FileServiceWin32.cpp or FileServicePosix.cpp); a test may link its own instead.
#pragma once

#include "core/Utf16.h"

#include <cstddef>
#include <cstdint>
#include <utility>

// An open file, closed when it goes out of scope.
class FileHandle {
public:
    static constexpr std::intptr_t kInvalid = -1;

    FileHandle() = default;
    explicit FileHandle(std::intptr_t native) : native_(native) {}
    ~FileHandle() { Close(); }
    FileHandle(FileHandle&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            native_ = std::exchange(other.native_, kInvalid);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return native_ != kInvalid; }
    std::intptr_t Native() const { return native_; }

    // Closes the file now; false when the system reports that the close failed.
    bool Close();

private:
    std::intptr_t native_ = kInvalid;
};

// A read-only view of part of an open file, the system's cached pages themselves, so that reading
// it copies nothing; released when it goes out of scope.
class FileView {
public:
    FileView() = default;
    // `length` bytes mapped at `base`; the view's own bytes start `lead` bytes in, at `offset` in the file.
    FileView(void* base, std::size_t length, std::size_t lead, std::uint64_t offset)
        : base_(base), length_(length), lead_(lead), offset_(offset) {}
    ~FileView() { Release(); }
    FileView(FileView&& other) noexcept
        : base_(std::exchange(other.base_, nullptr)),
          length_(other.length_),
          lead_(other.lead_),
          offset_(other.offset_) {}
    FileView& operator=(FileView&& other) noexcept {
        if (this != &other) {
            Release();
            base_ = std::exchange(other.base_, nullptr);
            length_ = other.length_;
            lead_ = other.lead_;
            offset_ = other.offset_;
        }
        return *this;
    }
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    // Whether the view holds the file's `count` bytes from `offset` on.
    bool Covers(std::uint64_t offset, std::size_t count) const {
        const std::size_t size = length_ - lead_;
        return base_ != nullptr && offset >= offset_ && offset - offset_ <= size && count <= size - (offset - offset_);
    }
    // The file's byte at `offset`, which the view covers.
    const std::uint8_t* At(std::uint64_t offset) const {
        return static_cast<const std::uint8_t*>(base_) + lead_ + static_cast<std::size_t>(offset - offset_);
    }

private:
    void Release();

    void* base_ = nullptr;
    std::size_t length_ = 0;
    std::size_t lead_ = 0;
    std::uint64_t offset_ = 0;
};

namespace fileservice {

// Opens an existing regular file for reading; others may read it meanwhile, nobody may write it.
// Anything else (a folder, a FIFO, a device) is refused at once, without waiting for a writer:
// then `notRegular` is true.
FileHandle OpenForReading(const Utf16Char* path, bool& notRegular);

// What tells whether another program changed an open regular file: its size and the times of the
// last change of its contents and of its entry (0 where the system keeps no such time). The times
// are compared, never read as dates.
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t contentsChanged = 0;
    std::uint64_t entryChanged = 0;

    bool operator==(const FileStamp& other) const {
        return size == other.size && contentsChanged == other.contentsChanged && entryChanged == other.entryChanged;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
bool StampOf(const FileHandle& file, FileStamp& stamp);

// Whether a view of the file met bytes that were gone (the file was cut short meanwhile, or its
// device failed to read them); they read as zeros. Asked before the file is closed.
bool ViewsFailed(const FileHandle& file);

// Reads exactly `count` bytes from `offset` on; false on an error or when the file ends first.
bool ReadAt(const FileHandle& file, std::uint64_t offset, void* buffer, std::size_t count);

// Views `count` bytes from `offset` on, where the platform maps files safely; false otherwise, and
// also when the file is shorter, so that ReadAt is used and reports the error. Bytes that are gone
// later read as zeros, and ViewsFailed says so.
bool MapAt(const FileHandle& file, std::uint64_t offset, std::size_t count, FileView& view);

// What stands at an output path before its new contents are written.
enum class TargetState {
    Absent,        // nothing, or something that is not a regular file (e.g. a link), whose
                   // permissions the new file does not take over
    File,          // a regular file that may be replaced
    ReadOnlyFile,  // a regular file that is read-only, or that this process may not write
};
TargetState StateOfTarget(const Utf16Char* target);

// Creates a new file for writing, shared with nobody. Never opens anything that exists, a link
// included: then `nameTaken` is true. A file that will replace an existing one is readable by
// this process's user alone until TakeOverIdentity gives it the replaced file's permissions.
FileHandle CreateNew(const Utf16Char* path, bool replacesFile, bool& nameTaken);

// Gives the open file the permissions of the regular file at `target` and, where this process may
// set them, its owner, group, ACL and other extended attributes. Nothing to do where MoveIntoPlace
// carries them over itself.
bool TakeOverIdentity(const FileHandle& file, const Utf16Char* target);

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count);

// Waits until everything written has reached the storage device.
bool FlushToDisk(const FileHandle& file);

// Hands everything written to the storage device without waiting for it, where the system can, so
// that a later FlushToDisk finds little left to wait for.
void StartFlush(const FileHandle& file);

// Puts the closed file `source` in the place of `target` in one step, replacing any file there; a
// link at `target` is replaced itself, not the file it points to.
bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target);

// Makes the moves into the folder of `target` durable, where a move alone does not. Best effort:
// the files are in place whether or not the folder's entries have reached the disk yet.
void FlushFolderOf(const Utf16Char* target);

bool RemoveFileAt(const Utf16Char* path);

// The bytes this process may still write on the file system of `folder`; false when unknown.
bool FreeSpace(const Utf16Char* folder, std::uint64_t& bytes);

// Whether the operation of this thread that failed last failed for lack of room on the disk. Asked
// at once after the failure, before another call can change the answer.
bool FailedForLackOfRoom();

// Fills out (`capacity` units) with the process's current directory; false, with out empty,
// when it does not fit.
bool CurrentFolder(Utf16Char* out, std::size_t capacity);

}  // namespace fileservice
