// The format of a WAV file's samples, as its "fmt " chunk gives it.
#pragma once

#include "core/FileReason.h"

#include <cstddef>
#include <cstdint>

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
    // Extensible format only: the speaker of each channel in order, one bit per speaker position
    // (0: none named).
    std::uint32_t channelMask = 0;

    // The sample coding: the format code, or for the extensible format that of its subformat.
    std::uint16_t Coding() const;
};

// The bytes of a "fmt " chunk that hold its fields, up to the extensible format's subformat.
constexpr std::size_t kFormatChunkBytes = 40;

// Parses the first `count` bytes of a "fmt " chunk that starts at `chunkOffset` into `format`. A
// chunk of size 0 leaves the fields as they are; one too short for its fields, or of a coding this
// program neither processes nor copies, rejects the file.
FileReason ParseFormatChunk(const std::uint8_t* fields, std::size_t count, std::uint64_t chunkOffset,
                            WaveFormat& format);
