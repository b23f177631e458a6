// The WAV writer: output naming, the RIFF size, and writing through a temporary file of its own
// that replaces the target only when complete.
#include "core/WaveWriter.h"

#include "core/ByteOrder.h"
#include "core/FileService.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <mutex>
#include <random>

namespace {

bool IsSeparator(Utf16Char unit) {
#ifdef _WIN32
    return unit == Utf16Char('\\') || unit == Utf16Char('/');
#else
    return unit == Utf16Char('/');
#endif
}

constexpr Utf16Char kSeparator[] = {
#ifdef _WIN32
    Utf16Char('\\'),
#else
    Utf16Char('/'),
#endif
    0};

// The file name with the separator in front of it, or the whole path when there is none.
const Utf16Char* FileNameTail(const Utf16Char* inputPath) {
    const Utf16Char* tail = nullptr;
    for (const Utf16Char* p = inputPath; *p != 0; ++p) {
        if (IsSeparator(*p)) {
            tail = p;
        }
    }
    return tail != nullptr ? tail : inputPath;
}

// 4 for "WAVE" plus every chunk's header, data and pad byte; false when that passes 32 bits.
bool RiffSizeOf(const WaveFile& wave, std::uint32_t& riffSize) {
    std::uint64_t total = 4;
    for (const auto& chunk : wave.chunks) {
        total += 8 + std::uint64_t{chunk->size} + (chunk->size & 1);
        if (total > std::numeric_limits<std::uint32_t>::max()) {
            return false;
        }
    }
    riffSize = static_cast<std::uint32_t>(total);
    return true;
}

bool WriteChunk(const FileHandle& file, const ChunkInfo& chunk) {
    std::uint8_t header[8];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<std::uint8_t>(chunk.id[i]);
    }
    WriteLe32(header + 4, chunk.size);
    static constexpr std::uint8_t kPad = 0;
    return fileservice::WriteExactly(file, header, sizeof header) &&
           fileservice::WriteExactly(file, chunk.data.Data(), chunk.size) &&
           ((chunk.size & 1) == 0 || fileservice::WriteExactly(file, &kPad, 1));
}

bool WriteContents(const FileHandle& file, const WaveFile& wave, std::uint32_t riffSize) {
    std::uint8_t header[12] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    WriteLe32(header + 4, riffSize);
    if (!fileservice::WriteExactly(file, header, sizeof header)) {
        return false;
    }
    for (const auto& chunk : wave.chunks) {
        if (!WriteChunk(file, *chunk)) {
            return false;
        }
    }
    return true;
}

// Why the file operation that just failed failed: for lack of room, or as `otherwise` says.
FileReason WriteFailure(FileReason::Kind otherwise = FileReason::Kind::CannotWrite) {
    return FileReason(fileservice::FailedForLackOfRoom() ? FileReason::Kind::NoRoom : otherwise);
}

constexpr char kTemporaryPrefix[] = "pvx-";
constexpr int kNameAttempts = 16;

// A fresh name in the target's folder: a short fixed prefix, 64 random bits and the suffix, so
// that it fits wherever the target's name fits, and concurrent runs never meet on one.
Utf16String TemporaryPathFor(const Utf16Char* target) {
    const Utf16Char* tail = FileNameTail(target);
    Utf16String path(target, IsSeparator(*tail) ? static_cast<std::size_t>(tail - target) + 1 : 0);
    std::random_device source;
    const std::uint64_t bits = std::uint64_t{source()} << 32 | source();
    char name[sizeof kTemporaryPrefix + 16];
    std::snprintf(name, sizeof name, "%s%016llx", kTemporaryPrefix, static_cast<unsigned long long>(bits));
    return path + Utf16FromUtf8(name) + Utf16FromUtf8(kTemporarySuffix);
}

// The temporary file this process is writing, if any. A run ended by a signal removes it, and
// from then on no temporary file is made or moved into place.
class PendingTemporary {
public:
    static PendingTemporary& Instance() {
        // Never destroyed: a worker may still write while the process ends.
        static PendingTemporary* const instance = new PendingTemporary();
        return *instance;
    }

    FileHandle Create(const Utf16Char* target, bool replacesFile) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (int attempt = 0; attempt < kNameAttempts && !abandoned_; ++attempt) {
            const Utf16String path = TemporaryPathFor(target);
            bool nameTaken = false;
            FileHandle file = fileservice::CreateNew(path.c_str(), replacesFile, nameTaken);
            if (file.IsOpen()) {
                path_ = path;
                return file;
            }
            if (!nameTaken) {
                break;
            }
        }
        return FileHandle();
    }

    bool MoveIntoPlace(const Utf16Char* target) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (abandoned_ || !fileservice::MoveIntoPlace(path_.c_str(), target)) {
            return false;
        }
        path_.clear();
        return true;
    }

    void Remove() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!abandoned_ && !path_.empty()) {
            fileservice::RemoveFileAt(path_.c_str());
        }
        path_.clear();
    }

    // Keeps the lock for good, so that the worker cannot move the file into place afterwards.
    bool Abandon() {
        mutex_.lock();
        abandoned_ = true;
        return !path_.empty() && fileservice::RemoveFileAt(path_.c_str());
    }

private:
    PendingTemporary() = default;

    std::mutex mutex_;
    Utf16String path_;
    bool abandoned_ = false;
};

// Writes the whole file at a temporary path next to `target`, with the identity of the file it
// replaces, and puts it in the target's place. Nothing of it remains after a failure, whose reason
// is taken at once, before the cleanup can change the system's answer.
bool WriteThroughTemporaryFile(const Utf16Char* target, bool replacesFile, const WaveFile& wave, std::uint32_t riffSize,
                               FileReason& reason) {
    PendingTemporary& pending = PendingTemporary::Instance();
    FileHandle file = pending.Create(target, replacesFile);
    if (!file.IsOpen()) {
        reason = WriteFailure(FileReason::Kind::NoTemporaryFile);
        return false;
    }
    bool written = WriteContents(file, wave, riffSize) && fileservice::TakeOverIdentity(file, target) &&
                   fileservice::FlushToDisk(file);
    if (!written) {
        reason = WriteFailure();
    }
    if (!file.Close() && written) {
        written = false;
        reason = WriteFailure();
    }
    if (written && !pending.MoveIntoPlace(target)) {
        written = false;
        reason = WriteFailure();
    }
    if (!written) {
        pending.Remove();
    }
    return written;
}

}  // namespace

bool BuildOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath, Utf16Char* out) {
    if (!GetOutputFolder(settings, out)) {
        return false;
    }
    const Utf16Char* tail = FileNameTail(inputPath);
    const bool fits =
        (IsSeparator(*tail) || Utf16Append(out, kTextCapacity, kSeparator)) && Utf16Append(out, kTextCapacity, tail);
    if (!fits) {
        out[0] = 0;
    }
    return fits;
}

bool WriteWaveFile(const ProcessingSettings& settings, const Utf16Char* inputPath, const WaveFile& wave,
                   FileReason& reason) {
    Utf16Char target[kTextCapacity] = {};
    std::uint32_t riffSize = 0;
    if (!BuildOutputPath(settings, inputPath, target)) {
        reason = FileReason(FileReason::Kind::PathTooLong);
        return false;
    }
    if (!RiffSizeOf(wave, riffSize)) {
        reason = FileReason(FileReason::Kind::TooLarge);
        return false;
    }
    const fileservice::TargetState state = fileservice::StateOfTarget(target);
    // Refused as a plain create would refuse it, before any work is done.
    if (state == fileservice::TargetState::ReadOnlyFile) {
        reason = FileReason(FileReason::Kind::ReadOnlyTarget);
        return false;
    }
    return WriteThroughTemporaryFile(target, state == fileservice::TargetState::File, wave, riffSize, reason);
}

bool AbandonWriteInProgress() {
    return PendingTemporary::Instance().Abandon();
}
