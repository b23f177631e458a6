// Files for the command-line tests: mono PCM WAV files built in memory, a private folder per test,
// and the conversions between paths and the core's UTF-16 text.
#pragma once

#include "core/Utf16.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

constexpr std::uint32_t kTestSampleRate = 8000;

// A RIFF/WAVE file: a 16-byte "fmt " chunk (integer PCM, one channel) and a "data" chunk holding
// `samples` in `bitsPerSample` (8, 16 or 24) bits.
std::string MakeWave(int bitsPerSample, const std::vector<std::int32_t>& samples);

// A 16-bit file of `dataBytes` bytes of silence, written without filling the disk: the data is a hole.
void WriteLargeSilentWave(const std::filesystem::path& path, std::uint32_t dataBytes);

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);

std::string Utf8Path(const std::filesystem::path& path);
Utf16String Utf16Path(const std::filesystem::path& path);

// An empty folder of its own under the temporary folder, removed with everything in it.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // A new, empty folder inside this one.
    std::filesystem::path MakeFolder(const std::filesystem::path& name) const;

private:
    std::filesystem::path path_;
};
