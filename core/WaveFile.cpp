// The WAV reader: walks the chunks of a RIFF/WAVE file, trusting no declared size beyond what
// the file really holds.
#include "core/WaveFile.h"

#include "core/FileService.h"

#include <cstring>

namespace {

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kIdBytes = 4;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFormatFieldBytes = 16;
constexpr std::uint16_t kIntegerPcm = 1;
constexpr std::uint16_t kIeeeFloat = 3;

std::uint16_t ReadLe16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool IsFourCc(const std::uint8_t* bytes, const char* fourCc) {
    return std::memcmp(bytes, fourCc, 4) == 0;
}

// Reads an open file front to back and knows how much of it is left, so that every declared
// size can be checked against the real file before anything is allocated or read.
class FileCursor {
public:
    FileCursor(const FileHandle& file, std::uint64_t fileSize) : file_(file), left_(fileSize) {}

    std::uint64_t Left() const { return left_; }

    bool Read(void* buffer, std::size_t count) {
        if (count > left_ || !fileservice::ReadExactly(file_, buffer, count)) {
            return false;
        }
        left_ -= count;
        return true;
    }

private:
    const FileHandle& file_;
    std::uint64_t left_;
};

enum class HeaderResult { Read, EndOfChunks, Failed };

// Reads the next chunk header. After a chunk of odd size a zero byte is the RIFF pad byte and is
// skipped; a chunk identifier never starts with a zero byte, so files written without pads still
// read. Fewer bytes than an identifier are stray bytes that end the chunk list and are dropped;
// an identifier whose size field is cut off marks a truncated file.
HeaderResult ReadChunkHeader(FileCursor& cursor, bool afterOddChunk,
                             std::uint8_t (&header)[kChunkHeaderBytes]) {
    std::size_t have = 0;
    if (afterOddChunk && cursor.Left() > 0) {
        if (!cursor.Read(header, 1)) {
            return HeaderResult::Failed;
        }
        have = header[0] == 0 ? 0 : 1;
    }
    const std::uint64_t available = have + cursor.Left();
    if (available < kIdBytes) {
        return HeaderResult::EndOfChunks;
    }
    if (available < kChunkHeaderBytes || !cursor.Read(header + have, kChunkHeaderBytes - have)) {
        return HeaderResult::Failed;
    }
    return HeaderResult::Read;
}

// Parses the "fmt " fields into `format`. A chunk of size 0 leaves the fields as they are; one
// too short for the fields, or of a coding other than integer PCM or IEEE float, rejects the file.
bool ParseFormat(const ChunkInfo& chunk, WaveFormat& format) {
    if (chunk.size == 0) {
        return true;
    }
    if (chunk.size < kFormatFieldBytes) {
        return false;
    }
    const std::uint8_t* fields = chunk.data.Data();
    format.formatTag = ReadLe16(fields);
    format.channels = ReadLe16(fields + 2);
    format.sampleRate = ReadLe32(fields + 4);
    format.byteRate = ReadLe32(fields + 8);
    format.blockAlign = ReadLe16(fields + 12);
    format.bitsPerSample = ReadLe16(fields + 14);
    return format.formatTag == kIntegerPcm || format.formatTag == kIeeeFloat;
}

}  // namespace

bool ChunkInfo::HasId(const char* fourCc) const { return std::memcmp(id, fourCc, 4) == 0; }

bool WaveFile::Read(const Utf16Char* path) {
    const FileHandle file = fileservice::OpenForReading(path);
    std::uint64_t fileSize = 0;
    if (!file.IsOpen() || !fileservice::SizeOf(file, fileSize)) {
        return false;
    }
    FileCursor cursor(file, fileSize);
    std::uint8_t riff[kRiffHeaderBytes];
    if (!cursor.Read(riff, sizeof riff) || !IsFourCc(riff, "RIFF") || !IsFourCc(riff + 8, "WAVE")) {
        return false;
    }
    bool afterOddChunk = false;
    for (;;) {
        std::uint8_t header[kChunkHeaderBytes];
        const HeaderResult result = ReadChunkHeader(cursor, afterOddChunk, header);
        if (result != HeaderResult::Read) {
            return result == HeaderResult::EndOfChunks;
        }
        auto chunk = std::make_shared<ChunkInfo>();
        std::memcpy(chunk->id, header, kIdBytes);
        chunk->size = ReadLe32(header + 4);
        if (chunk->size > cursor.Left() || !chunk->data.Allocate(chunk->size) ||
            !cursor.Read(chunk->data.Data(), chunk->size)) {
            return false;
        }
        chunks.push_back(chunk);
        if (chunk->HasId("fmt ") && !ParseFormat(*chunk, format)) {
            return false;
        }
        afterOddChunk = (chunk->size & 1) != 0;
    }
}
