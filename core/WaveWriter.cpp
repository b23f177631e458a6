// The WAV writer: output naming, the RIFF size, and writing through a temporary file that
// replaces the target only when complete.
#include "core/WaveWriter.h"

#include "core/FileService.h"

#include <cstdint>
#include <limits>

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

void StoreLe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
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
    StoreLe32(header + 4, chunk.size);
    static constexpr std::uint8_t kPad = 0;
    return fileservice::WriteExactly(file, header, sizeof header) &&
           fileservice::WriteExactly(file, chunk.data.Data(), chunk.size) &&
           ((chunk.size & 1) == 0 || fileservice::WriteExactly(file, &kPad, 1));
}

bool WriteContents(const FileHandle& file, const WaveFile& wave, std::uint32_t riffSize) {
    std::uint8_t header[12] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    StoreLe32(header + 4, riffSize);
    if (!fileservice::WriteExactly(file, header, sizeof header)) {
        return false;
    }
    for (const auto& chunk : wave.chunks) {
        if (!WriteChunk(file, *chunk)) {
            return false;
        }
    }
    return fileservice::FlushToDisk(file);
}

// Why the file operation that just failed failed.
FileReason WriteFailure() {
    return FileReason(fileservice::FailedForLackOfRoom() ? FileReason::Kind::NoRoom
                                                         : FileReason::Kind::CannotWrite);
}

// Writes the whole file at `temporaryPath`, removing it again on any failure after it was made.
bool WriteTemporaryFile(const Utf16Char* temporaryPath, const WaveFile& wave,
                        std::uint32_t riffSize, FileReason& reason) {
    FileHandle file = fileservice::CreateForWriting(temporaryPath);
    if (!file.IsOpen()) {
        reason = WriteFailure();
        return false;
    }
    bool written = WriteContents(file, wave, riffSize);
    if (!written) {
        reason = WriteFailure();
    }
    if (!file.Close() && written) {
        written = false;
        reason = WriteFailure();
    }
    if (!written) {
        fileservice::RemoveFileAt(temporaryPath);
    }
    return written;
}

}  // namespace

bool BuildOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath,
                     Utf16Char* out) {
    if (!GetOutputFolder(settings, out)) {
        return false;
    }
    const Utf16Char* tail = FileNameTail(inputPath);
    const bool fits = (IsSeparator(*tail) || Utf16Append(out, kTextCapacity, kSeparator)) &&
                      Utf16Append(out, kTextCapacity, tail);
    if (!fits) {
        out[0] = 0;
    }
    return fits;
}

bool WriteWaveFile(const ProcessingSettings& settings, const Utf16Char* inputPath,
                   const WaveFile& wave, FileReason& reason) {
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
    const Utf16String temporaryPath = Utf16String(target) + Utf16FromUtf8(".palvotrix-part");
    if (!WriteTemporaryFile(temporaryPath.c_str(), wave, riffSize, reason)) {
        return false;
    }
    if (!fileservice::MoveIntoPlace(temporaryPath.c_str(), target)) {
        reason = WriteFailure();
        fileservice::RemoveFileAt(temporaryPath.c_str());
        return false;
    }
    return true;
}
