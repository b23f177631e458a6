// Writes the benchmark's input files in pieces, so that the benchmark itself stays small in memory
// and its children's peak memory is their own.
#include "BenchFiles.h"

#include "support/WavBuilder.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr std::uint32_t kSampleRate = 44100;
constexpr std::uint16_t kChannels = 2;
constexpr std::size_t kPieceBytes = std::size_t{4} << 20;
constexpr std::uint64_t kIslandBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// Noise at about a third of full scale: every sample lies well above -40 dB after a gain of 1.5.
class Noise {
public:
    double Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const double unit = static_cast<double>(state_ >> 11) * 0x1.0p-53;
        return (unit < 0.5 ? -1.0 : 1.0) * (0.05 + 0.3 * unit);
    }

private:
    std::uint64_t state_ = 42;
};

void PutSample(std::uint8_t* at, const BenchFile& file, double value) {
    if (file.formatTag == 3) {
        const auto sample = static_cast<float>(value);
        std::memcpy(at, &sample, sizeof sample);
        return;
    }
    const int bytes = file.bitsPerSample / 8;
    const double full = static_cast<double>((std::int64_t{1} << (8 * bytes - 1)) - 1);
    const auto sample = static_cast<std::uint64_t>(static_cast<std::int64_t>(value * full));
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(sample >> (8 * i));
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::uint64_t FrameBytes(const BenchFile& file) {
    return kChannels * file.bitsPerSample / 8u;
}

std::uint64_t SilentBytes(const BenchFile& file) {
    return std::uint64_t{file.silenceMs} * kSampleRate / 1000 * FrameBytes(file);
}

Bytes RiffHeader(const BenchFile& file) {
    return WaveHeader(file.formatTag, kChannels, kSampleRate, file.bitsPerSample,
                      static_cast<std::uint32_t>(file.dataBytes));
}

// The 64-bit sizes live in the "ds64" chunk; the 32-bit fields they replace say 0xFFFFFFFF.
Bytes Rf64Header(const BenchFile& file) {
    return Wave64("RF64", {Ds64(FileBytes(file) - 8, file.dataBytes, file.dataBytes / FrameBytes(file)),
                           Fmt(file.formatTag, kChannels, kSampleRate, file.bitsPerSample),
                           ChunkDeclaring("data", 0xFFFFFFFF, {})});
}

std::uint64_t HeaderBytes(const BenchFile& file) {
    return file.rf64 ? 80 : 44;
}

// Writes the data bytes from `begin` to `end` (offsets in the "data" chunk, whole frames) where the
// file stands: noise, but silence within its first and last silenceMs.
bool WriteData(std::FILE* out, const BenchFile& file, std::uint64_t begin, std::uint64_t end) {
    const std::uint64_t silentBytes = SilentBytes(file);
    const std::size_t sampleBytes = file.bitsPerSample / 8u;
    std::vector<std::uint8_t> piece(kPieceBytes / FrameBytes(file) * FrameBytes(file));
    Noise noise;
    bool written = true;
    for (std::uint64_t done = begin; written && done < end;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), end - done));
        for (std::size_t at = 0; at < count; at += sampleBytes) {
            const std::uint64_t offset = done + at;
            const bool silent = offset < silentBytes || offset >= file.dataBytes - silentBytes;
            PutSample(piece.data() + at, file, silent ? 0.0 : noise.Next());
        }
        written = std::fwrite(piece.data(), 1, count, out) == count;
        done += count;
    }
    return written;
}

// Where the islands of a sparse file start: just after the head's silence, in the middle, at
// every GiB (where 32-bit offsets wrap) and just before the tail's silence.
std::vector<std::uint64_t> IslandStarts(const BenchFile& file) {
    const std::uint64_t frame = FrameBytes(file);
    const std::uint64_t last = file.dataBytes - SilentBytes(file) - kIslandBytes;
    std::vector<std::uint64_t> starts = {SilentBytes(file), file.dataBytes / 2, last};
    for (std::uint64_t at = kGiB; at < last; at += kGiB) {
        starts.push_back(at);
    }
    for (std::uint64_t& start : starts) {
        start = std::min(start / frame * frame, last);
    }
    return starts;
}

bool WriteIslands(std::FILE* out, const BenchFile& file) {
    bool written = true;
    for (const std::uint64_t start : IslandStarts(file)) {
        written = written && fseeko(out, static_cast<off_t>(HeaderBytes(file) + start), SEEK_SET) == 0 &&
                  WriteData(out, file, start, start + kIslandBytes);
    }
    return written && std::fflush(out) == 0 && ftruncate(fileno(out), static_cast<off_t>(FileBytes(file))) == 0;
}

}  // namespace

std::uint64_t FileBytes(const BenchFile& file) {
    return HeaderBytes(file) + file.dataBytes;
}

std::uint64_t DiskBytes(const BenchFile& file) {
    return file.sparse ? HeaderBytes(file) + IslandStarts(file).size() * kIslandBytes : FileBytes(file);
}

bool MakeBenchFile(const BenchFile& file) {
    std::error_code error;
    if (std::filesystem::file_size(file.path, error) == FileBytes(file)) {
        return true;
    }
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(file.path.c_str(), "wb"));
    if (!out) {
        return false;
    }
    const Bytes header = file.rf64 ? Rf64Header(file) : RiffHeader(file);
    bool written =
        header.size() == HeaderBytes(file) && std::fwrite(header.data(), 1, header.size(), out.get()) == header.size();
    written = written && (file.sparse ? WriteIslands(out.get(), file) : WriteData(out.get(), file, 0, file.dataBytes));
    return std::fclose(out.release()) == 0 && written;
}
