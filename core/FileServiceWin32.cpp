// The file services on Win32, through KERNEL32's wide-character calls.
#include "core/FileService.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

HANDLE AsHandle(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}

FileHandle Wrap(HANDLE handle) {
    return FileHandle(reinterpret_cast<std::intptr_t>(handle));
}

// ReadFile and WriteFile take a 32-bit count; larger transfers go in pieces of this size.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// The failures of ReplaceFileW after which the target is gone or was never touched, so that a
// plain move cannot lose anything: a locked or protected target is not among them.
bool MoveMayFollowFailedReplace(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
            return true;
        default:
            return false;
    }
}

// Replacing a file deletes it, which another program that holds it open without delete sharing
// prevents. Asked first, because some implementations of ReplaceFileW leave a stray backup file
// behind when they fail on that.
bool MayBeDeleted(const wchar_t* path) {
    const HANDLE handle = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    CloseHandle(handle);
    return true;
}

}  // namespace

bool FileHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    return CloseHandle(AsHandle(std::exchange(native_, kInvalid))) != FALSE;
}

// Nothing is ever mapped here (see MapAt).
void FileView::Release() {}

namespace fileservice {

FileHandle OpenForReading(const Utf16Char* path, bool& notRegular) {
    FileHandle file =
        Wrap(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        // A folder does not open as a file at all.
        const DWORD attributes = GetFileAttributesW(path);
        notRegular = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return file;
    }
    // A pipe or a device opens like a file, but reads from it may wait for ever.
    notRegular = GetFileType(AsHandle(file.Native())) != FILE_TYPE_DISK;
    if (notRegular) {
        return FileHandle();
    }
    return file;
}

bool StampOf(const FileHandle& file, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(AsHandle(file.Native()), &information) == FALSE) {
        return false;
    }
    stamp.size = std::uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    stamp.contentsChanged =
        std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32 | information.ftLastWriteTime.dwLowDateTime;
    stamp.entryChanged = 0;
    return true;
}

// Nothing is viewed here.
bool ViewsFailed(const FileHandle&) {
    return false;
}

bool ReadAt(const FileHandle& file, std::uint64_t offset, void* buffer, std::size_t count) {
    auto* next = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const auto piece = static_cast<DWORD>(std::min(count, kLargestTransfer));
        // On a handle opened for synchronous reads the offset is where this read starts.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (ReadFile(AsHandle(file.Native()), next, piece, &got, &at) == FALSE || got == 0) {
            return false;
        }
        next += got;
        offset += got;
        count -= got;
    }
    return true;
}

// Files are read, never mapped: a fault in a mapped view (a drive removed, a network gone) would end
// the program, where a failed read is one file's error.
bool MapAt(const FileHandle&, std::uint64_t, std::size_t, FileView&) {
    return false;
}

TargetState StateOfTarget(const Utf16Char* target) {
    const DWORD attributes = GetFileAttributesW(target);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return TargetState::Absent;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? TargetState::ReadOnlyFile : TargetState::File;
}

FileHandle CreateNew(const Utf16Char* path, bool, bool& nameTaken) {
    const HANDLE handle = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    nameTaken = handle == INVALID_HANDLE_VALUE &&
                (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS);
    return Wrap(handle);
}

bool TakeOverIdentity(const FileHandle&, const Utf16Char*) {
    return true;
}

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const auto piece = static_cast<DWORD>(std::min(count, kLargestTransfer));
        DWORD written = 0;
        if (WriteFile(AsHandle(file.Native()), next, piece, &written, nullptr) == FALSE || written == 0) {
            return false;
        }
        next += written;
        count -= written;
    }
    return true;
}

bool FlushToDisk(const FileHandle& file) {
    return FlushFileBuffers(AsHandle(file.Native())) != FALSE;
}

// FlushFileBuffers alone hands the bytes over, and waits for them.
void StartFlush(const FileHandle&) {}

bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target) {
    // ReplaceFileW keeps the replaced file's attributes, security and streams; a plain move takes
    // over where there is no file to keep them from or the file system cannot replace.
    if (StateOfTarget(target) != TargetState::Absent) {
        if (!MayBeDeleted(target)) {
            return false;
        }
        if (ReplaceFileW(target, source, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE) {
            return true;
        }
        if (!MoveMayFollowFailedReplace(GetLastError())) {
            return false;
        }
    }
    return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Every move is written through.
void FlushFolderOf(const Utf16Char*) {}

bool RemoveFileAt(const Utf16Char* path) {
    return DeleteFileW(path) != FALSE;
}

bool FreeSpace(const Utf16Char* folder, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    // What this user may still fill, within any quota.
    if (GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr) == FALSE) {
        return false;
    }
    bytes = available.QuadPart;
    return true;
}

bool FailedForLackOfRoom() {
    const DWORD error = GetLastError();
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool CurrentFolder(Utf16Char* out, std::size_t capacity) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(capacity), out);
    if (length == 0 || length >= capacity) {
        out[0] = 0;
        return false;
    }
    return true;
}

}  // namespace fileservice
