// Builds WAV files byte by byte for the tests, the fuzzer's seeds and the benchmark.
#pragma once

#include "core/WaveFile.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void PutLe(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A chunk as it stands in a file, with a size field that may lie about the bytes that follow.
inline Bytes ChunkDeclaring(const char* id, std::uint32_t declaredSize, const Bytes& data) {
    Bytes out(id, id + 4);
    PutLe(out, declaredSize, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A chunk followed by the RIFF pad byte when its size is odd.
inline Bytes Chunk(const char* id, const Bytes& data) {
    Bytes out = ChunkDeclaring(id, static_cast<std::uint32_t>(data.size()), data);
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

// A 16-byte "fmt " chunk of a well-formed file.
inline Bytes Fmt(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t sampleRate,
                 std::uint16_t bitsPerSample) {
    const std::uint32_t blockAlign = channels * (bitsPerSample / 8u);
    Bytes fields;
    PutLe(fields, formatTag, 2);
    PutLe(fields, channels, 2);
    PutLe(fields, sampleRate, 4);
    PutLe(fields, sampleRate * blockAlign, 4);
    PutLe(fields, blockAlign, 2);
    PutLe(fields, bitsPerSample, 2);
    return Chunk("fmt ", fields);
}

// A 40-byte extensible "fmt " chunk: `validBits` of `bitsPerSample` carry sound, and the subformat
// GUID names `subformatCode` in the standard form (xxxxxxxx-0000-0010-8000-00AA00389B71), or in a
// form of its own when `standardGuid` is false.
inline Bytes FmtExtensible(std::uint32_t subformatCode, std::uint16_t channels, std::uint32_t sampleRate,
                           std::uint16_t bitsPerSample, std::uint16_t validBits, bool standardGuid = true) {
    const std::uint32_t blockAlign = channels * (bitsPerSample / 8u);
    Bytes fields;
    PutLe(fields, 0xFFFE, 2);  // the extensible format code
    PutLe(fields, channels, 2);
    PutLe(fields, sampleRate, 4);
    PutLe(fields, sampleRate * blockAlign, 4);
    PutLe(fields, blockAlign, 2);
    PutLe(fields, bitsPerSample, 2);
    PutLe(fields, 22, 2);  // extension size
    PutLe(fields, validBits, 2);
    PutLe(fields, channels == 2 ? 3 : 4, 4);  // speaker positions
    PutLe(fields, subformatCode, 4);
    const Bytes tail = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fields.insert(fields.end(), tail.begin(), tail.end());
    if (!standardGuid) {
        fields.back() ^= 0xFF;
    }
    return Chunk("fmt ", fields);
}

// "RIFF", the size of everything after it, "WAVE", then the chunks exactly as given.
inline Bytes Riff(std::initializer_list<Bytes> chunks) {
    const Bytes body = Concat(chunks);
    Bytes out{'R', 'I', 'F', 'F'};
    PutLe(out, 4 + body.size(), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The file with its RIFF size field set to `riffSize`, whatever the bytes after it.
inline Bytes WithRiffSize(Bytes file, std::uint32_t riffSize) {
    for (int i = 0; i < 4; ++i) {
        file[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    }
    return file;
}

// Little-endian samples of 1 to 8 bytes each.
inline Bytes Samples(int bytesPerSample, std::initializer_list<std::int64_t> values) {
    Bytes out;
    for (const std::int64_t value : values) {
        PutLe(out, static_cast<std::uint64_t>(value), bytesPerSample);
    }
    return out;
}

// IEEE samples stored by their bit patterns, as a file holds them.
template <class Float, class Bits>
Bytes IeeeSamples(std::initializer_list<Float> values) {
    static_assert(sizeof(Float) == sizeof(Bits), "a sample's bits");
    Bytes out;
    for (const Float value : values) {
        Bits bits;
        std::memcpy(&bits, &value, sizeof bits);
        PutLe(out, bits, static_cast<int>(sizeof bits));
    }
    return out;
}

inline Bytes FloatSamples(std::initializer_list<float> values) {
    return IeeeSamples<float, std::uint32_t>(values);
}

inline Bytes DoubleSamples(std::initializer_list<double> values) {
    return IeeeSamples<double, std::uint64_t>(values);
}

// The fields of a "bext" chunk, blank but for the time reference.
inline Bytes Bext(std::uint64_t timeReference) {
    Bytes fields(338, ' ');
    PutLe(fields, timeReference, 8);
    fields.resize(602, 0);
    return fields;
}

// One point of a "cue " chunk.
inline Bytes CuePoint(std::uint32_t name, std::uint32_t position, const char* chunkId, std::uint32_t offset) {
    Bytes point;
    PutLe(point, name, 4);
    PutLe(point, position, 4);
    point.insert(point.end(), chunkId, chunkId + 4);
    PutLe(point, 0, 8);  // dwChunkStart, dwBlockStart
    PutLe(point, offset, 4);
    return point;
}

// The fields of a "smpl" chunk with one loop.
inline Bytes SamplerLoop(std::uint32_t start, std::uint32_t end) {
    Bytes header(28, 0);  // manufacturer to SMPTE offset
    PutLe(header, 1, 4);  // cSampleLoops
    PutLe(header, 0, 4);  // cbSamplerData
    PutLe(header, 7, 4);  // dwIdentifier
    PutLe(header, 0, 4);  // dwType
    PutLe(header, start, 4);
    PutLe(header, end, 4);
    PutLe(header, 0, 8);  // dwFraction, dwPlayCount
    return header;
}

// An "ltxt" sub-chunk: a region of `length` frames from the cue point called `name`.
inline Bytes Region(std::uint32_t name, std::uint32_t length) {
    Bytes fields;
    PutLe(fields, name, 4);
    PutLe(fields, length, 4);
    fields.resize(fields.size() + 12, 0);  // purpose, country, language, dialect, code page
    return Chunk("ltxt", fields);
}

inline Bytes DataOf(const ChunkInfo& chunk) {
    return Bytes(chunk.data.Data(), chunk.data.Data() + chunk.size);
}

// A "ds64" chunk: the 64-bit RIFF size, "data" size and frame count, and a row per other chunk
// whose header holds the 0xFFFFFFFF placeholder.
struct SizeRow {
    const char* id;
    std::uint64_t size;
};
inline Bytes Ds64(std::uint64_t riffSize, std::uint64_t dataSize, std::uint64_t frames,
                  std::initializer_list<SizeRow> rows = {}) {
    Bytes fields;
    PutLe(fields, riffSize, 8);
    PutLe(fields, dataSize, 8);
    PutLe(fields, frames, 8);
    PutLe(fields, rows.size(), 4);
    for (const SizeRow& row : rows) {
        fields.insert(fields.end(), row.id, row.id + 4);
        PutLe(fields, row.size, 8);
    }
    return Chunk("ds64", fields);
}

// A file of one of the 64-bit forms ("RF64" or "BW64"), its RIFF size field the placeholder.
inline Bytes Wave64(const char* form, std::initializer_list<Bytes> chunks) {
    Bytes out(form, form + 4);
    PutLe(out, 0xFFFFFFFFu, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    for (const Bytes& chunk : chunks) {
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

// A tiny RF64 file of 64-bit float samples whose first frame is silent and the ten after it loud:
// a head margin then asks for margin × `sampleRate` frames of silence, far more than it holds.
// With 8 channels at a declared 200 MHz it is 784 bytes, and a margin of 20 s asks for 256 GB.
inline Bytes SilentFrameThenLoud(std::uint16_t channels, std::uint32_t sampleRate) {
    constexpr std::uint64_t kFrames = 11;
    const Bytes loud = DoubleSamples({0.5});
    Bytes data(std::size_t{channels} * loud.size(), 0);
    for (std::uint64_t sample = channels; sample < kFrames * channels; ++sample) {
        data.insert(data.end(), loud.begin(), loud.end());
    }
    const Bytes fmt = Fmt(3, channels, sampleRate, 64);
    const std::uint64_t riffSize = 4 + (8 + 28) + fmt.size() + 8 + data.size();
    return Wave64("RF64", {Ds64(riffSize, data.size(), kFrames), fmt, Chunk("data", data)});
}

// A chunk in memory, as the reader would have made it.
inline std::shared_ptr<ChunkInfo> MakeChunk(const char* id, const Bytes& data) {
    auto chunk = std::make_shared<ChunkInfo>();
    std::memcpy(chunk->id, id, 4);
    chunk->size = static_cast<std::uint32_t>(data.size());
    if (chunk->data.Allocate(data.size()) && !data.empty()) {
        std::memcpy(chunk->data.Data(), data.data(), data.size());
    }
    return chunk;
}

// A WaveFile in memory with the given format and a single "data" chunk. The sample rate is the
// whole number of frames in `byteRate`.
inline WaveFile InMemoryWave(std::uint16_t formatTag, std::uint16_t channels, std::uint16_t bitsPerSample,
                             std::uint32_t byteRate, const Bytes& data) {
    WaveFile wave;
    wave.format.formatTag = formatTag;
    wave.format.channels = channels;
    wave.format.blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8u));
    wave.format.sampleRate = wave.format.blockAlign == 0 ? 0 : byteRate / wave.format.blockAlign;
    wave.format.byteRate = byteRate;
    wave.format.bitsPerSample = bitsPerSample;
    wave.chunks.push_back(MakeChunk("data", data));
    return wave;
}

constexpr std::uint32_t kTestSampleRate = 8000;

// A mono integer PCM file at kTestSampleRate of `samples` in `bitsPerSample` (8, 16 or 24) bits;
// 8-bit samples are stored offset by 128, the others in two's complement.
inline Bytes MakeWave(int bitsPerSample, const std::vector<std::int32_t>& samples) {
    const int bytesPerSample = bitsPerSample / 8;
    Bytes data;
    for (const std::int32_t sample : samples) {
        const std::int32_t stored = bitsPerSample == 8 ? sample + 128 : sample;
        PutLe(data, static_cast<std::uint32_t>(stored), bytesPerSample);
    }
    return Riff({Fmt(1, 1, kTestSampleRate, static_cast<std::uint16_t>(bitsPerSample)), Chunk("data", data)});
}

// A 16-bit mono file whose samples alternate between +amplitude and -amplitude.
inline Bytes AlternatingWave(std::int16_t amplitude, std::uint32_t sampleCount) {
    std::vector<std::int32_t> samples(sampleCount);
    for (std::uint32_t i = 0; i < sampleCount; ++i) {
        samples[i] = i % 2 == 0 ? amplitude : static_cast<std::int16_t>(-amplitude);
    }
    return MakeWave(16, samples);
}

// The 44 bytes before the samples of a file with a 16-byte "fmt " chunk and `dataBytes` bytes of
// samples, for files too large to build in memory.
inline Bytes WaveHeader(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t sampleRate,
                        std::uint16_t bitsPerSample, std::uint32_t dataBytes) {
    const Bytes header =
        Riff({Fmt(formatTag, channels, sampleRate, bitsPerSample), ChunkDeclaring("data", dataBytes, {})});
    return WithRiffSize(header, static_cast<std::uint32_t>(header.size() - 8 + dataBytes));
}
