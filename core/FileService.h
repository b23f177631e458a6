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

namespace fileservice {

// Opens an existing file for reading; others may read it meanwhile, nobody may write it.
FileHandle OpenForReading(const Utf16Char* path);

// The size in bytes of an open regular file.
bool SizeOf(const FileHandle& file, std::uint64_t& size);

// Reads exactly `count` bytes; false on an error or when the file ends first.
bool ReadExactly(const FileHandle& file, void* buffer, std::size_t count);

// Creates a file for writing, emptying any file of that name; shared with nobody.
FileHandle CreateForWriting(const Utf16Char* path);

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count);

// Waits until everything written has reached the storage device.
bool FlushToDisk(const FileHandle& file);

// Puts the closed file `source` in the place of `target` in one step, replacing any file there.
bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target);

bool RemoveFileAt(const Utf16Char* path);

// Whether the operation of this thread that failed last failed for lack of room on the disk. Asked
// at once after the failure, before another call can change the answer.
bool FailedForLackOfRoom();

// Fills out (`capacity` units) with the process's current directory; false, with out empty,
// when it does not fit.
bool CurrentFolder(Utf16Char* out, std::size_t capacity);

}  // namespace fileservice
