// A RIFF/WAVE file as read: the parsed format fields and every chunk in file order, the small
// ones in memory and the others where they lie in the file, which stays open for them.
#pragma once

#include "core/ByteBuffer.h"
#include "core/FileReason.h"
#include "core/FileService.h"
#include "core/Utf16.h"

#include <cstdint>
#include <memory>
#include <vector>

// The fields of the "fmt " chunk; all zero while no usable "fmt " chunk has been read.
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    // Extensible format only: the bits of each sample that carry sound (0: all of them), and the
    // code of the coding its subformat names.
    std::uint16_t validBitsPerSample = 0;
    std::uint16_t subformatCode = 0;

    // The sample coding: the format code, or for the extensible format that of its subformat.
    std::uint16_t Coding() const;
};

// One chunk as read. A held chunk's `data` holds at least `size` bytes, of which the first `size`
// are the chunk; the contents of any other chunk start at `offset` in the file read.
struct ChunkInfo {
    char id[5] = {};
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    bool held = true;
    ByteBuffer data;

    // Identifiers compare byte for byte: "DATA" is not "data".
    bool HasId(const char* fourCc) const;
};

// The first chunk of the list with identifier `fourCc`; null when there is none.
const ChunkInfo* FirstChunk(const std::vector<std::shared_ptr<ChunkInfo>>& chunks, const char* fourCc);

// The forms of a WAVE file: plain RIFF with 32-bit sizes, and the two whose "ds64" chunk holds
// 64-bit ones for files past 4 GiB.
enum class RiffForm { Riff, Rf64, Bw64 };

struct WaveFile {
    RiffForm form = RiffForm::Riff;
    WaveFormat format;
    std::vector<std::shared_ptr<ChunkInfo>> chunks;
    // The file read, open while chunks that are not held may still be read from it.
    FileHandle file;

    // Why the last Read refused the file; Kind::None after a file was taken in.
    FileReason refusal;

    // Reads the chunk list, holding the small chunks and those whose fields the job reads or
    // rewrites; false when it is not a WAVE file this program can read. After a false result
    // `chunks` may hold the chunks read before the rejection.
    bool Read(const Utf16Char* path);

    // Copies `count` bytes of the chunk from `at` on, from memory or from the file.
    bool ReadChunk(const ChunkInfo& chunk, std::uint64_t at, std::uint8_t* out, std::size_t count) const;

    // The `count` bytes of the chunk from `at` on, without a copy where that can be done: in the
    // held chunk, or in `view`, mapped from the file and kept for the bytes that follow; otherwise
    // read into `buffer`. Null when they cannot be read.
    const std::uint8_t* ChunkBytes(const ChunkInfo& chunk, std::uint64_t at, std::size_t count, FileView& view,
                                   std::uint8_t* buffer) const;
};
