// Writes the benchmark's input files in pieces, so that the benchmark itself stays small in memory
// and its children's peak memory is their own.
#include "BenchFiles.h"

#include "support/WavBuilder.h"

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
constexpr std::uint64_t kHeaderBytes = 44;

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

}  // namespace

std::uint64_t FileBytes(const BenchFile& file) {
    return kHeaderBytes + file.dataBytes;
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
    const Bytes header = WaveHeader(file.formatTag, kChannels, kSampleRate, file.bitsPerSample,
                                    static_cast<std::uint32_t>(file.dataBytes));
    bool written = std::fwrite(header.data(), 1, header.size(), out.get()) == header.size();

    const std::uint64_t frameBytes = kChannels * file.bitsPerSample / 8u;
    const std::uint64_t silentBytes = std::uint64_t{kSilenceSec} * kSampleRate * frameBytes;
    const std::size_t sampleBytes = file.bitsPerSample / 8u;
    std::vector<std::uint8_t> piece(kPieceBytes / frameBytes * frameBytes);
    Noise noise;
    for (std::uint64_t done = 0; written && done < file.dataBytes;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), file.dataBytes - done));
        for (std::size_t at = 0; at < count; at += sampleBytes) {
            const std::uint64_t offset = done + at;
            const bool silent = offset < silentBytes || offset >= file.dataBytes - silentBytes;
            PutSample(piece.data() + at, file, silent ? 0.0 : noise.Next());
        }
        written = std::fwrite(piece.data(), 1, count, out.get()) == count;
        done += count;
    }
    return std::fclose(out.release()) == 0 && written;
}
