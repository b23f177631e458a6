// A RIFF/WAVE file as read: the parsed format fields and every chunk in file order, the small
// ones and the first bytes of those the job reads in memory, the rest where it lies in the file,
// which stays open for it.
#pragma once

#include "core/ByteBuffer.h"
#include "core/FileReason.h"
#include "core/FileService.h"
#include "core/Utf16.h"
#include "core/WaveFormat.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// One chunk as read: its contents start at `offset` in the file read, and the first HeldBytes()
// of them are also in `data`.
struct ChunkInfo {
    char id[5] = {};
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    ByteBuffer data;

    // Identifiers compare byte for byte: "DATA" is not "data".
    bool HasId(const char* fourCc) const;
    // The bytes of the chunk, from its start, that `data` holds; the others are read from the file.
    std::uint64_t HeldBytes() const;
};

// Whether the four bytes at `bytes` are the identifier `fourCc`, byte for byte.
bool IsFourCc(const std::uint8_t* bytes, const char* fourCc);

// The first chunk of the list with identifier `fourCc`; null when there is none.
const ChunkInfo* FirstChunk(const std::vector<std::shared_ptr<ChunkInfo>>& chunks, const char* fourCc);

// The forms of a WAVE file: plain RIFF with 32-bit sizes, and the two whose "ds64" chunk holds
// 64-bit ones for files past 4 GiB.
enum class RiffForm { Riff, Rf64, Bw64 };

// No real file comes near this many chunks. Each costs a record of about 90 bytes (60 in a 32-bit
// process) with its handle, so that the list of a file at the limit stays near 6 MiB; a file with
// more is refused as damaged.
constexpr std::size_t kMostChunks = 65536;

// The largest size a chunk or the whole file may declare in the form: what the 32-bit fields hold
// in RIFF; in the 64-bit forms the most that a signed 64-bit file offset can address, 2^63 - 1.
constexpr std::uint64_t LargestSize(RiffForm form) {
    return form == RiffForm::Riff ? std::numeric_limits<std::uint32_t>::max()
                                  : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
}

struct WaveFile {
    RiffForm form = RiffForm::Riff;
    WaveFormat format;
    std::vector<std::shared_ptr<ChunkInfo>> chunks;
    // The bytes from a chunk header of four zero bytes to the end of the file, which a recorder
    // left as unused space: no chunks, but written back as they are after the last chunk. A
    // chunk of `size` 0 when there are none.
    ChunkInfo unusedSpace;
    // The file read, open while chunks that are not held may still be read from it.
    FileHandle file;
    // The file as it was opened, to tell whether another program changed it since.
    fileservice::FileStamp stamp;

    // Why the last Read refused the file; Kind::None after a file was taken in.
    FileReason refusal;

    // Reads the chunk list, holding the small chunks and the first bytes of those whose fields the
    // job reads or rewrites, within fixed budgets; false when it is not a WAVE file this program
    // can read, or has more chunks than kMostChunks. After a false result `chunks` may hold the
    // chunks read before the rejection.
    bool Read(const Utf16Char* path);

    // Copies `count` bytes of the chunk from `at` on, from memory or from the file.
    bool ReadChunk(const ChunkInfo& chunk, std::uint64_t at, std::uint8_t* out, std::size_t count) const;

    // The `count` bytes of the chunk from `at` on, without a copy where that can be done: in the
    // held chunk, or in `view`, mapped from the file and kept for the bytes that follow; otherwise
    // read into `buffer`. Null when they cannot be read.
    const std::uint8_t* ChunkBytes(const ChunkInfo& chunk, std::uint64_t at, std::size_t count, FileView& view,
                                   std::uint8_t* buffer) const;
};
