// The WAV reader: walks the chunks of a RIFF/WAVE file, trusting no declared size beyond what
// the file really holds.
#include "core/WaveFile.h"

#include "core/ByteOrder.h"
#include "core/FileService.h"
#include "core/FormatCodes.h"

#include <cstring>

namespace {

using Kind = FileReason::Kind;

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kIdBytes = 4;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFormatFieldBytes = 16;
// The extensible format's fields: extension size, valid bits, channel mask and subformat GUID.
constexpr std::size_t kExtensibleFieldBytes = 40;
constexpr std::uint16_t kExtensibleExtensionBytes = 22;
// Bytes 4 to 15 of every subformat GUID that stands for a plain format code, which is held in
// bytes 0 to 3: xxxxxxxx-0000-0010-8000-00AA00389B71.
constexpr std::uint8_t kSubformatGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool IsFourCc(const std::uint8_t* bytes, const char* fourCc) {
    return std::memcmp(bytes, fourCc, 4) == 0;
}

FileReason DamagedAt(std::uint64_t offset) {
    FileReason reason(Kind::Damaged);
    reason.offset = offset;
    return reason;
}

FileReason UnsupportedCoding(Kind kind, std::uint32_t code) {
    FileReason reason(kind);
    reason.code = code;
    return reason;
}

// Reads an open file front to back and knows how much of it is left, so that every declared
// size can be checked against the real file before anything is allocated or read.
class FileCursor {
public:
    FileCursor(const FileHandle& file, std::uint64_t fileSize) : file_(file), size_(fileSize), left_(fileSize) {}

    std::uint64_t Left() const { return left_; }
    std::uint64_t Offset() const { return size_ - left_; }

    bool Read(void* buffer, std::size_t count) {
        if (count > left_ || !fileservice::ReadExactly(file_, buffer, count)) {
            return false;
        }
        left_ -= count;
        return true;
    }

private:
    const FileHandle& file_;
    std::uint64_t size_;
    std::uint64_t left_;
};

enum class HeaderResult { Read, EndOfChunks, Failed };

// Reads the next chunk header. After a chunk of odd size a zero byte is the RIFF pad byte and is
// skipped; a chunk identifier never starts with a zero byte, so files written without pads still
// read. Fewer bytes than a chunk header are stray bytes that end the chunk list and are dropped,
// as every common reader drops them.
HeaderResult ReadChunkHeader(FileCursor& cursor, bool afterOddChunk, std::uint8_t (&header)[kChunkHeaderBytes]) {
    std::size_t have = 0;
    if (afterOddChunk && cursor.Left() > 0) {
        if (!cursor.Read(header, 1)) {
            return HeaderResult::Failed;
        }
        have = header[0] == 0 ? 0 : 1;
    }
    if (have + cursor.Left() < kChunkHeaderBytes) {
        return HeaderResult::EndOfChunks;
    }
    return cursor.Read(header + have, kChunkHeaderBytes - have) ? HeaderResult::Read : HeaderResult::Failed;
}

// The extensible format's valid bits and subformat; only the PCM and float subformats are taken.
FileReason ParseExtensible(const ChunkInfo& chunk, std::uint64_t chunkOffset, WaveFormat& format) {
    const std::uint8_t* fields = chunk.data.Data();
    if (chunk.size < kExtensibleFieldBytes || ReadLe16(fields + 16) < kExtensibleExtensionBytes) {
        return DamagedAt(chunkOffset);
    }
    format.validBitsPerSample = ReadLe16(fields + 18);
    if (std::memcmp(fields + 28, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0) {
        return FileReason(Kind::UnknownSubformat);
    }
    const std::uint32_t code = ReadLe32(fields + 24);
    if (code != formatcode::kIntegerPcm && code != formatcode::kIeeeFloat) {
        return UnsupportedCoding(Kind::UnsupportedSubformat, code);
    }
    format.subformatCode = static_cast<std::uint16_t>(code);
    return {};
}

// Parses the "fmt " fields into `format`. A chunk of size 0 leaves the fields as they are; one
// too short for its fields, or of a coding this program neither processes nor copies, rejects
// the file.
FileReason ParseFormat(const ChunkInfo& chunk, std::uint64_t chunkOffset, WaveFormat& format) {
    if (chunk.size == 0) {
        return {};
    }
    if (chunk.size < kFormatFieldBytes) {
        return DamagedAt(chunkOffset);
    }
    const std::uint8_t* fields = chunk.data.Data();
    format = WaveFormat{};
    format.formatTag = ReadLe16(fields);
    format.channels = ReadLe16(fields + 2);
    format.sampleRate = ReadLe32(fields + 4);
    format.byteRate = ReadLe32(fields + 8);
    format.blockAlign = ReadLe16(fields + 12);
    format.bitsPerSample = ReadLe16(fields + 14);
    switch (format.formatTag) {
        case formatcode::kIntegerPcm:
        case formatcode::kIeeeFloat:
        case formatcode::kALaw:
        case formatcode::kMuLaw:
            return {};
        case formatcode::kExtensible:
            return ParseExtensible(chunk, chunkOffset, format);
        default:
            return UnsupportedCoding(Kind::UnsupportedCoding, format.formatTag);
    }
}

// A last "data" chunk that claims more than the file holds (a recording cut short, or a size
// left at its streaming placeholder) keeps the whole frames that are there.
std::uint64_t HeldDataBytes(std::uint64_t held, const WaveFormat& format) {
    return format.blockAlign == 0 ? held : held - held % format.blockAlign;
}

FileReason ReadChunks(FileCursor& cursor, WaveFile& wave) {
    bool afterOddChunk = false;
    for (;;) {
        std::uint8_t header[kChunkHeaderBytes];
        const HeaderResult result = ReadChunkHeader(cursor, afterOddChunk, header);
        if (result != HeaderResult::Read) {
            return result == HeaderResult::EndOfChunks ? FileReason{} : FileReason(Kind::CannotRead);
        }
        const std::uint64_t chunkOffset = cursor.Offset() - kChunkHeaderBytes;
        auto chunk = std::make_shared<ChunkInfo>();
        std::memcpy(chunk->id, header, kIdBytes);
        const std::uint32_t declared = ReadLe32(header + 4);
        const bool cutShort = declared > cursor.Left();
        if (cutShort && !chunk->HasId("data")) {
            return DamagedAt(chunkOffset);
        }
        chunk->size = cutShort ? static_cast<std::uint32_t>(HeldDataBytes(cursor.Left(), wave.format)) : declared;
        if (!chunk->data.Allocate(chunk->size)) {
            return FileReason(Kind::OutOfMemory);
        }
        if (!cursor.Read(chunk->data.Data(), chunk->size)) {
            return FileReason(Kind::CannotRead);
        }
        wave.chunks.push_back(chunk);
        if (chunk->HasId("fmt ")) {
            const FileReason format = ParseFormat(*chunk, chunkOffset, wave.format);
            if (format.kind != Kind::None) {
                return format;
            }
        }
        if (cutShort) {
            // Whatever follows the whole frames is a part of the last one.
            return {};
        }
        afterOddChunk = (chunk->size & 1) != 0;
    }
}

FileReason ReadWave(const Utf16Char* path, WaveFile& wave) {
    bool notRegular = false;
    const FileHandle file = fileservice::OpenForReading(path, notRegular);
    if (notRegular) {
        return FileReason(Kind::NotRegularFile);
    }
    std::uint64_t fileSize = 0;
    if (!file.IsOpen() || !fileservice::SizeOf(file, fileSize)) {
        return FileReason(Kind::CannotRead);
    }
    FileCursor cursor(file, fileSize);
    std::uint8_t riff[kRiffHeaderBytes];
    if (fileSize < kRiffHeaderBytes) {
        return FileReason(Kind::NotRiffWave);
    }
    if (!cursor.Read(riff, sizeof riff)) {
        return FileReason(Kind::CannotRead);
    }
    if (!IsFourCc(riff + 8, "WAVE")) {
        return FileReason(Kind::NotRiffWave);
    }
    if (IsFourCc(riff, "RIFX")) {
        return FileReason(Kind::BigEndian);
    }
    if (!IsFourCc(riff, "RIFF")) {
        return FileReason(Kind::NotRiffWave);
    }
    return ReadChunks(cursor, wave);
}

}  // namespace

std::uint16_t WaveFormat::Coding() const {
    return formatTag == formatcode::kExtensible ? subformatCode : formatTag;
}

bool ChunkInfo::HasId(const char* fourCc) const {
    return std::memcmp(id, fourCc, 4) == 0;
}

bool WaveFile::Read(const Utf16Char* path) {
    refusal = ReadWave(path, *this);
    return refusal.kind == FileReason::Kind::None;
}
