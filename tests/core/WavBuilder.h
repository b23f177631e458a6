// Builds WAV files byte by byte for the core's tests, and the scratch folders they are written to.
#pragma once

#include "core/Utf16.h"
#include "core/WaveFile.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
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

// "RIFF", the size of everything after it, "WAVE", then the chunks exactly as given.
inline Bytes Riff(std::initializer_list<Bytes> chunks) {
    const Bytes body = Concat(chunks);
    Bytes out{'R', 'I', 'F', 'F'};
    PutLe(out, 4 + body.size(), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Little-endian samples of 2, 3 or 4 bytes each.
inline Bytes Samples(int bytesPerSample, std::initializer_list<std::int64_t> values) {
    Bytes out;
    for (const std::int64_t value : values) {
        PutLe(out, static_cast<std::uint64_t>(value), bytesPerSample);
    }
    return out;
}

inline Bytes FloatSamples(std::initializer_list<float> values) {
    Bytes out;
    for (const float value : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        PutLe(out, bits, 4);
    }
    return out;
}

inline Bytes DataOf(const ChunkInfo& chunk) {
    return Bytes(chunk.data.Data(), chunk.data.Data() + chunk.size);
}

// A WaveFile in memory with the given format and a single "data" chunk. The sample rate is the
// whole number of frames in `byteRate`.
inline WaveFile MakeWave(std::uint16_t formatTag, std::uint16_t channels,
                         std::uint16_t bitsPerSample, std::uint32_t byteRate, const Bytes& data) {
    WaveFile wave;
    wave.format.formatTag = formatTag;
    wave.format.channels = channels;
    wave.format.blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8u));
    wave.format.sampleRate = wave.format.blockAlign == 0 ? 0 : byteRate / wave.format.blockAlign;
    wave.format.byteRate = byteRate;
    wave.format.bitsPerSample = bitsPerSample;
    auto chunk = std::make_shared<ChunkInfo>();
    std::memcpy(chunk->id, "data", 4);
    chunk->size = static_cast<std::uint32_t>(data.size());
    if (chunk->data.Allocate(data.size()) && !data.empty()) {
        std::memcpy(chunk->data.Data(), data.data(), data.size());
    }
    wave.chunks.push_back(chunk);
    return wave;
}

inline Utf16String PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return Utf16FromUtf8(path.string());
#endif
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("palvotrix-core-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path path_;
};
