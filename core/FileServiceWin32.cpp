// The file services on Win32, through KERNEL32's wide-character calls.
#include "core/FileService.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

HANDLE AsHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

FileHandle Wrap(HANDLE handle) { return FileHandle(reinterpret_cast<std::intptr_t>(handle)); }

// ReadFile and WriteFile take a 32-bit count; larger transfers go in pieces of this size.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

}  // namespace

bool FileHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    return CloseHandle(AsHandle(std::exchange(native_, kInvalid))) != FALSE;
}

namespace fileservice {

FileHandle OpenForReading(const Utf16Char* path) {
    return Wrap(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool SizeOf(const FileHandle& file, std::uint64_t& size) {
    LARGE_INTEGER length{};
    if (GetFileSizeEx(AsHandle(file.Native()), &length) == FALSE || length.QuadPart < 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool ReadExactly(const FileHandle& file, void* buffer, std::size_t count) {
    auto* next = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const auto piece = static_cast<DWORD>(std::min(count, kLargestTransfer));
        DWORD got = 0;
        if (ReadFile(AsHandle(file.Native()), next, piece, &got, nullptr) == FALSE || got == 0) {
            return false;
        }
        next += got;
        count -= got;
    }
    return true;
}

FileHandle CreateForWriting(const Utf16Char* path) {
    return Wrap(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
}

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const auto piece = static_cast<DWORD>(std::min(count, kLargestTransfer));
        DWORD written = 0;
        if (WriteFile(AsHandle(file.Native()), next, piece, &written, nullptr) == FALSE ||
            written == 0) {
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

bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target) {
    return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFileAt(const Utf16Char* path) { return DeleteFileW(path) != FALSE; }

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
