// A RIFF/WAVE file in memory: the parsed format fields and every chunk in file order.
#pragma once

#include "core/ByteBuffer.h"
#include "core/FileReason.h"
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

// One chunk as read: `data` holds at least `size` bytes, of which the first `size` are the chunk.
struct ChunkInfo {
    char id[5] = {};
    std::uint32_t size = 0;
    ByteBuffer data;

    // Identifiers compare byte for byte: "DATA" is not "data".
    bool HasId(const char* fourCc) const;
};

struct WaveFile {
    WaveFormat format;
    std::vector<std::shared_ptr<ChunkInfo>> chunks;

    // Why the last Read refused the file; Kind::None after a file was taken in.
    FileReason refusal;

    // Takes in the whole file; false when it is not a RIFF/WAVE file this program can read. After
    // a false result `chunks` may hold the chunks read before the rejection.
    bool Read(const Utf16Char* path);
};
