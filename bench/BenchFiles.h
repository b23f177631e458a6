// The benchmark's input files: stereo WAV files of noise with digital silence at both ends.
#pragma once

#include <cstdint>
#include <string>

// Seconds of silence at the head and at the tail of a large file.
constexpr int kSilenceSec = 5;

struct BenchFile {
    std::string label;
    std::uint16_t formatTag;
    std::uint16_t bitsPerSample;
    std::uint64_t dataBytes;
    std::string path;
    // RF64 header with a "ds64" chunk instead of a RIFF one, as files over 4 GiB need.
    bool rf64 = false;
    // Islands of noise in silence left as holes: cheap at any size, and the job still keeps and
    // writes nearly all of it.
    bool sparse = false;
    // Silence at the head and at the tail.
    std::uint32_t silenceMs = kSilenceSec * 1000;
};

// Writes the file unless one of the right size is already there; false when it cannot be written.
bool MakeBenchFile(const BenchFile& file);
std::uint64_t FileBytes(const BenchFile& file);
// The bytes the file takes on disk.
std::uint64_t DiskBytes(const BenchFile& file);
