// The file services on POSIX systems; paths are converted from UTF-16 to UTF-8 here.
#include "core/FileService.h"

#include "core/ExtendedAttributes.h"
#include "core/GuardedViews.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

namespace {

int AsDescriptor(std::intptr_t native) {
    return static_cast<int>(native);
}

FileHandle Wrap(int descriptor) {
    return descriptor < 0 ? FileHandle() : FileHandle(static_cast<std::intptr_t>(descriptor));
}

std::uint64_t Nanoseconds(const timespec& time) {
    return static_cast<std::uint64_t>(time.tv_sec) * 1000000000u + static_cast<std::uint64_t>(time.tv_nsec);
}

// Some systems refuse single transfers of 2 GiB or more.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

#ifdef __linux__
// A large output is handed to the disk as it grows, a step at a time, rather than all at the final
// flush: the disk then writes while the job still computes.
constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;

void StartWriteback(int descriptor, std::size_t justWritten) {
    const off_t end = lseek(descriptor, 0, SEEK_CUR);
    if (end < 0) {
        return;
    }
    const auto endStep = static_cast<std::uint64_t>(end) / kWritebackStep;
    if (endStep != (static_cast<std::uint64_t>(end) - justWritten) / kWritebackStep) {
        sync_file_range(descriptor, static_cast<off_t>((endStep - 1) * kWritebackStep),
                        static_cast<off_t>(kWritebackStep), SYNC_FILE_RANGE_WRITE);
    }
}

void StartWritebackOfAll(int descriptor) {
    sync_file_range(descriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
}

// A view's pages are read in as it is mapped, not one fault at a time.
constexpr int kReadInAtOnce = MAP_POPULATE;
#else
void StartWriteback(int, std::size_t) {}

void StartWritebackOfAll(int) {}

constexpr int kReadInAtOnce = 0;
#endif

}  // namespace

bool FileHandle::Close() {
    if (!IsOpen()) {
        return true;
    }
    // Not retried on EINTR: the descriptor is released either way on Linux.
    return close(AsDescriptor(std::exchange(native_, kInvalid))) == 0;
}

void FileView::Release() {
    if (base_ != nullptr) {
        guardedviews::Unregister(base_);
        munmap(std::exchange(base_, nullptr), length_);
    }
}

namespace fileservice {

FileHandle OpenForReading(const Utf16Char* path, bool& notRegular) {
    const std::string name = Utf8FromUtf16(path);
    struct stat status {};
    notRegular = false;
    if (stat(name.c_str(), &status) != 0) {
        return FileHandle();
    }
    notRegular = !S_ISREG(status.st_mode);
    if (notRegular) {
        return FileHandle();
    }
    // The name may have been swapped for a FIFO since: without O_NONBLOCK its open would wait
    // for a writer that never comes.
    FileHandle file = Wrap(open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen() || fstat(AsDescriptor(file.Native()), &status) != 0) {
        return FileHandle();
    }
    notRegular = !S_ISREG(status.st_mode);
    if (notRegular) {
        return FileHandle();
    }
    const int flags = fcntl(AsDescriptor(file.Native()), F_GETFL);
    if (flags < 0 || fcntl(AsDescriptor(file.Native()), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return FileHandle();
    }
    // The descriptor may have been another file's, whose view met a missing page.
    guardedviews::Forget(AsDescriptor(file.Native()));
    return file;
}

bool StampOf(const FileHandle& file, FileStamp& stamp) {
    struct stat status {};
    if (fstat(AsDescriptor(file.Native()), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.contentsChanged = Nanoseconds(status.st_mtim);
    stamp.entryChanged = Nanoseconds(status.st_ctim);
    return true;
}

bool ViewsFailed(const FileHandle& file) {
    return guardedviews::Faulted(AsDescriptor(file.Native()));
}

bool ReadAt(const FileHandle& file, std::uint64_t offset, void* buffer, std::size_t count) {
    auto* next = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return false;
        }
        const ssize_t got =
            pread(AsDescriptor(file.Native()), next, std::min(count, kLargestTransfer), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        next += got;
        offset += static_cast<std::uint64_t>(got);
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// The size is checked first, so that a file another program has cut short before is read, and its
// error reported. One cut short later is left to the guard, which must hold every view.
bool MapAt(const FileHandle& file, std::uint64_t offset, std::size_t count, FileView& view) {
    static const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const int descriptor = AsDescriptor(file.Native());
    struct stat status {};
    if (count == 0 || count > std::numeric_limits<std::size_t>::max() - page || fstat(descriptor, &status) != 0 ||
        static_cast<std::uint64_t>(status.st_size) < offset ||
        static_cast<std::uint64_t>(status.st_size) - offset < count) {
        return false;
    }
    const std::uint64_t start = offset / page * page;
    const auto lead = static_cast<std::size_t>(offset - start);
    void* base =
        mmap(nullptr, lead + count, PROT_READ, MAP_SHARED | kReadInAtOnce, descriptor, static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        return false;
    }
    if (!guardedviews::Register(base, lead + count, descriptor)) {
        munmap(base, lead + count);
        return false;
    }
    view = FileView(base, lead + count, lead, offset);
    return true;
}

TargetState StateOfTarget(const Utf16Char* target) {
    const std::string name = Utf8FromUtf16(target);
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return TargetState::Absent;
    }
    // Write permission is checked as a plain open for writing would; a file without any write
    // bit counts as read-only also for root, who could write it anyway.
    const bool readOnly = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                          faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0;
    return readOnly ? TargetState::ReadOnlyFile : TargetState::File;
}

FileHandle CreateNew(const Utf16Char* path, bool replacesFile, bool& nameTaken) {
    const mode_t mode = replacesFile ? 0600 : 0666;
    const int descriptor =
        open(Utf8FromUtf16(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    nameTaken = descriptor < 0 && errno == EEXIST;
    return Wrap(descriptor);
}

bool TakeOverIdentity(const FileHandle& file, const Utf16Char* target) {
    const std::string name = Utf8FromUtf16(target);
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return true;
    }
    const int descriptor = AsDescriptor(file.Native());
    // Only a privileged process may give a file away; the group alone may still be allowed.
    if (fchown(descriptor, status.st_uid, status.st_gid) != 0) {
        static_cast<void>(fchown(descriptor, static_cast<uid_t>(-1), status.st_gid));
    }
    // After the change of owner, which clears the set-user-ID and set-group-ID bits, and before
    // the ACL, which sets the group's bits of the mode itself.
    const mode_t mode = status.st_mode & 07777;
    return fchmod(descriptor, mode) == 0 && extendedattributes::TakeOver(name, descriptor, mode);
}

bool WriteExactly(const FileHandle& file, const void* data, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(data);
    const std::size_t total = count;
    while (count > 0) {
        const ssize_t written = write(AsDescriptor(file.Native()), next, std::min(count, kLargestTransfer));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
    }
    StartWriteback(AsDescriptor(file.Native()), total);
    return true;
}

bool FlushToDisk(const FileHandle& file) {
    return fsync(AsDescriptor(file.Native())) == 0;
}

void StartFlush(const FileHandle& file) {
    StartWritebackOfAll(AsDescriptor(file.Native()));
}

bool MoveIntoPlace(const Utf16Char* source, const Utf16Char* target) {
    return std::rename(Utf8FromUtf16(source).c_str(), Utf8FromUtf16(target).c_str()) == 0;
}

// A rename is durable once its folder is flushed, as MOVEFILE_WRITE_THROUGH makes it on Windows.
void FlushFolderOf(const Utf16Char* target) {
    const std::string path = Utf8FromUtf16(target);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const FileHandle handle = Wrap(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.IsOpen()) {
        fsync(AsDescriptor(handle.Native()));
    }
}

bool RemoveFileAt(const Utf16Char* path) {
    return unlink(Utf8FromUtf16(path).c_str()) == 0;
}

bool FreeSpace(const Utf16Char* folder, std::uint64_t& bytes) {
    struct statvfs status {};
    if (statvfs(Utf8FromUtf16(folder).c_str(), &status) != 0) {
        return false;
    }
    // The blocks an unprivileged process may fill: a result that needs the system's reserve does not fit.
    const std::uint64_t blocks = status.f_bavail;
    const std::uint64_t blockBytes = status.f_frsize;
    bytes = blockBytes != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / blockBytes
                ? std::numeric_limits<std::uint64_t>::max()
                : blocks * blockBytes;
    return true;
}

bool FailedForLackOfRoom() {
    return errno == ENOSPC || errno == EDQUOT;
}

bool CurrentFolder(Utf16Char* out, std::size_t capacity) {
    std::string folder(4096, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            out[0] = 0;
            return false;
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return Utf16Copy(out, capacity, Utf16FromUtf8(folder).c_str());
}

}  // namespace fileservice
