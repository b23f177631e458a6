// The chunks that point into the audio, moved with it after a trim. Each field is found at its
// fixed offset and touched only when the chunk's real size holds it, and the bytes held in memory
// too: the reader holds far more than any real file's fields.
#include "core/ChunkPositions.h"

#include "core/ByteOrder.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace {

// "bext": Description (256), Originator (32), OriginatorReference (32), OriginationDate (10) and
// OriginationTime (8) come before the 64-bit TimeReference.
constexpr std::size_t kTimeReferenceOffset = 338;

// A 32-bit count followed by rows of a fixed size, as in "cue " and "smpl".
struct TableLayout {
    std::size_t countOffset;
    std::size_t firstRow;
    std::size_t rowBytes;
};

// dwCuePoints, then per point: dwName, dwPosition, fccChunk, dwChunkStart, dwBlockStart,
// dwSampleOffset.
constexpr TableLayout kCueTable{0, 4, 24};
constexpr std::size_t kCueName = 0;
constexpr std::size_t kCuePosition = 4;
constexpr std::size_t kCueChunkId = 8;
constexpr std::size_t kCueSampleOffset = 20;

// Nine 32-bit header fields with cSampleLoops as the eighth, then per loop: dwIdentifier, dwType,
// dwStart, dwEnd, dwFraction, dwPlayCount.
constexpr TableLayout kLoopTable{28, 36, 24};
constexpr std::size_t kLoopStart = 8;
constexpr std::size_t kLoopEnd = 12;

// "ltxt": dwName (the cue point it labels), dwSampleLength, then purpose, locale and text.
constexpr std::size_t kLabelledTextFields = 8;
constexpr std::size_t kSubChunkHeader = 8;

// Where old frame `position` now is, kept within 0..last.
std::uint32_t Moved(std::int64_t position, const FrameMove& move, std::uint32_t last) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(position - move.shift, 0, last));
}

void MoveField(std::uint8_t* field, const FrameMove& move, std::uint32_t last) {
    WriteLe32(field, Moved(ReadLe32(field), move, last));
}

// A frame count as a 32-bit field holds it: a longer file's count stops at the largest.
std::uint32_t Field32(std::uint64_t frames) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, std::numeric_limits<std::uint32_t>::max()));
}

// The rows that the chunk really holds; none when its count claims more than that, or more than is
// held: a table is moved whole or not at all.
std::size_t RowCount(const ChunkInfo& chunk, const TableLayout& table) {
    const std::uint64_t held = chunk.HeldBytes();
    if (held < table.firstRow) {
        return 0;
    }
    const std::uint32_t count = ReadLe32(chunk.data.Data() + table.countOffset);
    return count <= (held - table.firstRow) / table.rowBytes ? count : 0;
}

std::size_t RowOffset(const TableLayout& table, std::size_t i) {
    return table.firstRow + i * table.rowBytes;
}

// Samples since midnight: the first kept frame now starts the file. Saturates instead of wrapping
// into a time that means nothing.
void MoveTimeReference(ChunkInfo& chunk, std::int64_t shift) {
    if (chunk.HeldBytes() < kTimeReferenceOffset + 8) {
        return;
    }
    std::uint8_t* field = chunk.data.Data() + kTimeReferenceOffset;
    const std::uint64_t time = ReadLe64(field);
    const std::uint64_t magnitude = static_cast<std::uint64_t>(shift < 0 ? -shift : shift);
    if (shift < 0) {
        WriteLe64(field, time > magnitude ? time - magnitude : 0);
    } else {
        const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - time;
        WriteLe64(field, magnitude < room ? time + magnitude : std::numeric_limits<std::uint64_t>::max());
    }
}

// dwPosition counts frames of the data only when the point names the "data" chunk; in a play
// list or a silence chunk it means something else.
void MoveCuePoints(ChunkInfo& chunk, const FrameMove& move) {
    const std::size_t count = RowCount(chunk, kCueTable);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* point = chunk.data.Data() + RowOffset(kCueTable, i);
        if (IsFourCc(point + kCueChunkId, "data")) {
            MoveField(point + kCuePosition, move, Field32(move.newFrames));
        }
        MoveField(point + kCueSampleOffset, move, Field32(move.newFrames));
    }
}

// A loop's end is the last frame it plays, so both ends stay on a frame that exists.
void MoveLoops(ChunkInfo& chunk, const FrameMove& move) {
    const std::uint32_t lastFrame = move.newFrames > 0 ? Field32(move.newFrames - 1) : 0;
    const std::size_t count = RowCount(chunk, kLoopTable);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* loop = chunk.data.Data() + RowOffset(kLoopTable, i);
        MoveField(loop + kLoopStart, move, lastFrame);
        MoveField(loop + kLoopEnd, move, lastFrame);
    }
}

struct CuePoint {
    std::uint32_t name;
    std::uint32_t offset;
};

// The cue points' old offsets, sorted by name so that a file with many regions is not searched
// once per region; of points with the same name the first counts.
std::vector<CuePoint> CueIndex(const ChunkInfo& cue) {
    std::vector<CuePoint> points(RowCount(cue, kCueTable));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::uint8_t* point = cue.data.Data() + RowOffset(kCueTable, i);
        points[i] = CuePoint{ReadLe32(point + kCueName), ReadLe32(point + kCueSampleOffset)};
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const CuePoint& a, const CuePoint& b) { return a.name < b.name; });
    return points;
}

// Both ends of the region move with the audio and are clamped to it; the length is what is left
// between them, so a region that now runs past either end is shortened.
void ShortenRegion(std::uint8_t* fields, const std::vector<CuePoint>& cues, const FrameMove& move) {
    const std::uint32_t name = ReadLe32(fields);
    const auto cue = std::lower_bound(cues.begin(), cues.end(), name,
                                      [](const CuePoint& point, std::uint32_t n) { return point.name < n; });
    if (cue == cues.end() || cue->name != name) {
        return;
    }
    const std::uint32_t length = ReadLe32(fields + 4);
    const std::uint32_t newStart = Moved(cue->offset, move, Field32(move.newFrames));
    const std::uint32_t newEnd = Moved(std::int64_t{cue->offset} + length, move, Field32(move.newFrames));
    WriteLe32(fields + 4, newEnd - newStart);
}

// Walks the sub-chunks of a "LIST"/"adtl" chunk up to the first one that does not fit. As in the
// reader, a zero byte after a sub-chunk of odd size is its pad byte. A list not held whole is kept as
// it is, so that its regions are shortened all or none.
void ShortenRegions(ChunkInfo& list, const std::vector<CuePoint>& cues, const FrameMove& move) {
    std::uint8_t* data = list.data.Data();
    if (list.size < 4 || list.HeldBytes() != list.size || !IsFourCc(data, "adtl")) {
        return;
    }
    std::size_t offset = 4;
    while (list.size - offset >= kSubChunkHeader) {
        std::uint8_t* sub = data + offset;
        const std::uint32_t subSize = ReadLe32(sub + 4);
        if (subSize > list.size - offset - kSubChunkHeader) {
            return;
        }
        if (IsFourCc(sub, "ltxt") && subSize >= kLabelledTextFields) {
            ShortenRegion(sub + kSubChunkHeader, cues, move);
        }
        offset += kSubChunkHeader + subSize;
        if ((subSize & 1) != 0 && offset < list.size && data[offset] == 0) {
            ++offset;
        }
    }
}

}  // namespace

void MoveChunkPositions(const std::vector<std::shared_ptr<ChunkInfo>>& chunks, const FrameMove& move) {
    // Regions are measured from the cue points' old offsets, so those are taken before any move.
    const ChunkInfo* cue = FirstChunk(chunks, "cue ");
    const std::vector<CuePoint> cues = cue != nullptr ? CueIndex(*cue) : std::vector<CuePoint>();
    for (const auto& chunk : chunks) {
        if (chunk->HasId("bext")) {
            MoveTimeReference(*chunk, move.shift);
        } else if (chunk->HasId("cue ")) {
            MoveCuePoints(*chunk, move);
        } else if (chunk->HasId("smpl")) {
            MoveLoops(*chunk, move);
        } else if (chunk->HasId("LIST")) {
            ShortenRegions(*chunk, cues, move);
        } else if (chunk->HasId("fact") && chunk->HeldBytes() >= 4) {
            WriteLe32(chunk->data.Data(), Field32(move.newFrames));
        }
    }
}
