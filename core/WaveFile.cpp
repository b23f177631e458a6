// The WAV reader: walks the chunks of a RIFF/WAVE file, trusting no declared size beyond what
// the file really holds.
#include "core/WaveFile.h"

#include "core/ByteOrder.h"
#include "core/Ds64.h"
#include "core/FileService.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

using Kind = FileReason::Kind;

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kIdBytes = 4;
constexpr std::size_t kChunkHeaderBytes = 8;

// Walks an open file front to back and knows how much of it is left, so that every declared
// size can be checked against the real file before anything is allocated or read.
class FileCursor {
public:
    FileCursor(const FileHandle& file, std::uint64_t fileSize) : file_(file), size_(fileSize), left_(fileSize) {}

    std::uint64_t Left() const { return left_; }
    std::uint64_t Offset() const { return size_ - left_; }

    bool Read(void* buffer, std::size_t count) {
        if (count > left_ || !fileservice::ReadAt(file_, Offset(), buffer, count)) {
            return false;
        }
        left_ -= count;
        return true;
    }

    // Passes over bytes that stay in the file; `count` is at most Left().
    void Skip(std::uint64_t count) { left_ -= count; }

private:
    const FileHandle& file_;
    std::uint64_t size_;
    std::uint64_t left_;
};

enum class HeaderResult { Read, EndOfChunks, UnusedSpace, Failed };

// Reads the next chunk header. After a chunk of odd size a zero byte is the RIFF pad byte and is
// skipped; a chunk identifier never starts with a zero byte, so files written without pads still
// read. Fewer bytes than a chunk header are stray bytes that end the chunk list and are dropped,
// as every common reader drops them. An identifier of four zero bytes starts the space a recorder
// set aside and never filled: it ends the chunk list too.
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
    if (!cursor.Read(header + have, kChunkHeaderBytes - have)) {
        return HeaderResult::Failed;
    }
    static constexpr std::uint8_t kNoId[kIdBytes] = {};
    return std::memcmp(header, kNoId, kIdBytes) == 0 ? HeaderResult::UnusedSpace : HeaderResult::Read;
}

// A last "data" chunk that claims more than the file holds (a recording cut short, or a size
// left at its streaming placeholder) keeps the whole frames that are there. A frame is a sample of
// each channel in its container, as the passes step through it; the declared block alignment may
// be 0 or wrong and is not consulted.
std::uint64_t WholeFrameBytes(std::uint64_t there, const WaveFormat& format) {
    const std::uint64_t frameBytes = std::uint64_t{format.channels} * ((format.bitsPerSample + 7u) / 8u);
    return frameBytes == 0 ? there : there - there % frameBytes;
}

// The bytes a view of a chunk spans at least: several blocks, so that each view's cost is paid once
// for them, and few enough that the pages it keeps in memory stay few.
constexpr std::uint64_t kViewBytes = std::uint64_t{4} << 20;

// Chunks of up to this size are held in memory as long as all those held stay within the budget;
// the others are read a block at a time when they are written. Of a chunk the job reads, this many
// bytes at most are held, within a budget of their own: far more than the fields of any real file.
constexpr std::uint64_t kHeldChunkBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kHeldBudgetBytes = std::uint64_t{4} << 20;

// The bytes held so far: of the small chunks, and of those the job reads.
struct HeldBudgets {
    std::uint64_t small = 0;
    std::uint64_t readByTheJob = 0;
};

// The chunks whose fields the job reads or rewrites.
bool IsReadByTheJob(const ChunkInfo& chunk) {
    for (const char* id : {"fmt ", "ds64", "fact", "bext", "cue ", "smpl", "LIST"}) {
        if (chunk.HasId(id)) {
            return true;
        }
    }
    return false;
}

// The table must be held whole to be searched: one too long for that is no real file's.
bool IsUsableDs64(const ChunkInfo& chunk) {
    const std::uint64_t held = chunk.HeldBytes();
    return chunk.HasId("ds64") && held >= ds64::kFieldBytes &&
           ReadLe32(chunk.data.Data() + ds64::kTableLength) <= (held - ds64::kFieldBytes) / ds64::kRowBytes;
}

// The size of a chunk whose header says that "ds64" holds it; the placeholder itself when the
// table has no row for it.
std::uint64_t SizeFromDs64(const ChunkInfo& ds64, const std::uint8_t* id) {
    const std::uint8_t* fields = ds64.data.Data();
    if (IsFourCc(id, "data")) {
        return ReadLe64(fields + ds64::kDataSize);
    }
    const std::uint32_t rows = ReadLe32(fields + ds64::kTableLength);
    for (std::uint32_t i = 0; i < rows; ++i) {
        const std::uint8_t* row = fields + ds64::kFieldBytes + std::size_t{i} * ds64::kRowBytes;
        if (std::memcmp(row, id, kIdBytes) == 0) {
            return ReadLe64(row + kIdBytes);
        }
    }
    return ds64::kPlaceholder;
}

// The bytes of a chunk to hold, taken from their budget: a small chunk whole, and the first bytes of
// one the job reads; none when they would pass the budget.
std::size_t BytesToHold(const ChunkInfo& chunk, HeldBudgets& budgets) {
    const bool readByTheJob = IsReadByTheJob(chunk);
    const std::uint64_t wanted =
        readByTheJob || chunk.size <= kHeldChunkBytes ? std::min(chunk.size, kHeldChunkBytes) : 0;
    std::uint64_t& spent = readByTheJob ? budgets.readByTheJob : budgets.small;
    if (wanted > kHeldBudgetBytes - spent) {
        return 0;
    }
    spent += wanted;
    return static_cast<std::size_t>(wanted);
}

// Reads the bytes of a chunk that are held into memory, and passes over the rest.
FileReason TakeContents(FileCursor& cursor, ChunkInfo& chunk, HeldBudgets& budgets) {
    chunk.offset = cursor.Offset();
    const std::size_t held = BytesToHold(chunk, budgets);
    if (!chunk.data.Allocate(held)) {
        return FileReason(Kind::OutOfMemory);
    }
    if (!cursor.Read(chunk.data.Data(), held)) {
        return FileReason(Kind::CannotRead);
    }
    cursor.Skip(chunk.size - held);
    return {};
}

// What a chunk means for those after it: the format, and in the 64-bit forms the sizes.
FileReason TakeMeaning(const ChunkInfo& chunk, std::uint64_t chunkOffset, WaveFile& wave) {
    const bool firstOf64BitForm = wave.form != RiffForm::Riff && wave.chunks.size() == 1;
    if (firstOf64BitForm && !IsUsableDs64(chunk)) {
        return DamagedAt(chunkOffset);
    }
    if (!chunk.HasId("fmt ")) {
        return {};
    }
    std::uint8_t fields[kFormatChunkBytes];
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size, kFormatChunkBytes));
    if (!wave.ReadChunk(chunk, 0, fields, count)) {
        return FileReason(Kind::CannotRead);
    }
    return ParseFormatChunk(fields, count, chunkOffset, wave.format);
}

FileReason TooManyChunksAt(std::uint64_t offset) {
    FileReason reason(Kind::TooManyChunks);
    reason.offset = offset;
    reason.count = kMostChunks;
    return reason;
}

// Everything from the header of four zero bytes on, passed over to be copied when written.
void TakeUnusedSpace(FileCursor& cursor, WaveFile& wave) {
    wave.unusedSpace.offset = cursor.Offset() - kChunkHeaderBytes;
    wave.unusedSpace.size = cursor.Left() + kChunkHeaderBytes;
    cursor.Skip(cursor.Left());
}

FileReason ReadChunks(FileCursor& cursor, WaveFile& wave) {
    bool afterOddChunk = false;
    HeldBudgets budgets;
    for (;;) {
        std::uint8_t header[kChunkHeaderBytes];
        const HeaderResult result = ReadChunkHeader(cursor, afterOddChunk, header);
        if (result == HeaderResult::UnusedSpace) {
            TakeUnusedSpace(cursor, wave);
        }
        if (result != HeaderResult::Read) {
            return result == HeaderResult::Failed ? FileReason(Kind::CannotRead) : FileReason{};
        }
        const std::uint64_t chunkOffset = cursor.Offset() - kChunkHeaderBytes;
        if (wave.chunks.size() == kMostChunks) {
            return TooManyChunksAt(chunkOffset);
        }
        auto chunk = std::make_shared<ChunkInfo>();
        std::memcpy(chunk->id, header, kIdBytes);
        std::uint64_t declared = ReadLe32(header + 4);
        if (declared == ds64::kPlaceholder && wave.form != RiffForm::Riff && !wave.chunks.empty()) {
            declared = SizeFromDs64(*wave.chunks.front(), header);
        }
        const bool cutShort = declared > cursor.Left();
        if (cutShort && !chunk->HasId("data")) {
            return DamagedAt(chunkOffset);
        }
        chunk->size = cutShort ? WholeFrameBytes(cursor.Left(), wave.format) : declared;
        const FileReason contents = TakeContents(cursor, *chunk, budgets);
        if (contents.kind != Kind::None) {
            return contents;
        }
        wave.chunks.push_back(chunk);
        const FileReason meaning = TakeMeaning(*chunk, chunkOffset, wave);
        if (meaning.kind != Kind::None) {
            return meaning;
        }
        if (cutShort) {
            // Whatever follows the whole frames is a part of the last one.
            return {};
        }
        afterOddChunk = (chunk->size & 1) != 0;
    }
}

// The form named by the first four bytes, if it is one of the little-endian ones read here.
bool FormOf(const std::uint8_t* id, RiffForm& form) {
    const struct {
        const char* id;
        RiffForm form;
    } forms[] = {{"RIFF", RiffForm::Riff}, {"RF64", RiffForm::Rf64}, {"BW64", RiffForm::Bw64}};
    for (const auto& known : forms) {
        if (IsFourCc(id, known.id)) {
            form = known.form;
            return true;
        }
    }
    return false;
}

FileReason ReadWave(const Utf16Char* path, WaveFile& wave) {
    bool notRegular = false;
    wave.file = fileservice::OpenForReading(path, notRegular);
    if (notRegular) {
        return FileReason(Kind::NotRegularFile);
    }
    if (!wave.file.IsOpen() || !fileservice::StampOf(wave.file, wave.stamp)) {
        return FileReason(Kind::CannotRead);
    }
    const std::uint64_t fileSize = wave.stamp.size;
    FileCursor cursor(wave.file, fileSize);
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
    if (!FormOf(riff, wave.form)) {
        return FileReason(Kind::NotRiffWave);
    }
    const FileReason chunks = ReadChunks(cursor, wave);
    if (chunks.kind == Kind::None && wave.form != RiffForm::Riff && wave.chunks.empty()) {
        return DamagedAt(kRiffHeaderBytes);
    }
    return chunks;
}

// Whether the chunk has `count` bytes from `at` on, compared so that no sum can wrap.
bool InChunk(const ChunkInfo& chunk, std::uint64_t at, std::size_t count) {
    return at <= chunk.size && count <= chunk.size - at;
}

}  // namespace

bool IsFourCc(const std::uint8_t* bytes, const char* fourCc) {
    return std::memcmp(bytes, fourCc, 4) == 0;
}

bool ChunkInfo::HasId(const char* fourCc) const {
    return IsFourCc(reinterpret_cast<const std::uint8_t*>(id), fourCc);
}

std::uint64_t ChunkInfo::HeldBytes() const {
    return std::min<std::uint64_t>(size, data.Capacity());
}

const ChunkInfo* FirstChunk(const std::vector<std::shared_ptr<ChunkInfo>>& chunks, const char* fourCc) {
    for (const auto& chunk : chunks) {
        if (chunk->HasId(fourCc)) {
            return chunk.get();
        }
    }
    return nullptr;
}

bool WaveFile::Read(const Utf16Char* path) {
    refusal = ReadWave(path, *this);
    return refusal.kind == FileReason::Kind::None;
}

const std::uint8_t* WaveFile::ChunkBytes(const ChunkInfo& chunk, std::uint64_t at, std::size_t count, FileView& view,
                                         std::uint8_t* buffer) const {
    if (!InChunk(chunk, at, count)) {
        return nullptr;
    }
    const std::uint64_t held = chunk.HeldBytes();
    if (count > 0 && count <= held && at <= held - count) {
        return chunk.data.Data() + at;
    }
    if (at >= held) {
        // A view reaches past the bytes asked for, so that the blocks after them need no new one.
        const std::uint64_t offset = chunk.offset + at;
        const auto viewed =
            static_cast<std::size_t>(std::max<std::uint64_t>(count, std::min(kViewBytes, chunk.size - at)));
        if (view.Covers(offset, count) || fileservice::MapAt(file, offset, viewed, view)) {
            return view.At(offset);
        }
    }
    return ReadChunk(chunk, at, buffer, count) ? buffer : nullptr;
}

bool WaveFile::ReadChunk(const ChunkInfo& chunk, std::uint64_t at, std::uint8_t* out, std::size_t count) const {
    if (!InChunk(chunk, at, count)) {
        return false;
    }
    const std::uint64_t held = chunk.HeldBytes();
    const auto fromMemory = static_cast<std::size_t>(at < held ? std::min<std::uint64_t>(count, held - at) : 0);
    if (fromMemory > 0) {
        std::memcpy(out, chunk.data.Data() + at, fromMemory);
    }
    return fromMemory == count ||
           fileservice::ReadAt(file, chunk.offset + at + fromMemory, out + fromMemory, count - fromMemory);
}
