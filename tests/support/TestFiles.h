// Files for the tests: a private folder per test, the current directory for a while, whole files
// read and written, and the conversions between paths and the core's UTF-16 text.
#pragma once

#include "WavBuilder.h"

#include "core/Utf16Path.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
// The file's bytes; empty when the file cannot be read.
Bytes ReadBytes(const std::filesystem::path& path);
Bytes BytesOf(std::string_view text);
bool FileExists(const std::filesystem::path& path);
// The names of the entries of a folder; none when it cannot be read.
std::vector<std::filesystem::path> ListFolder(const std::filesystem::path& folder);

// A 16-bit mono file of `dataBytes` bytes of silence, written without filling the disk: the data is
// a hole.
void WriteLargeSilentWave(const std::filesystem::path& path, std::uint32_t dataBytes);

std::string Utf8Path(const std::filesystem::path& path);

// An empty folder of its own under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    // A folder of a fixed name, emptied first: a child process of a death test finds the same one.
    explicit TempFolder(const std::filesystem::path& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // A new, empty folder inside this one.
    std::filesystem::path MakeFolder(const std::filesystem::path& name) const;

private:
    std::filesystem::path path_;
};

// Makes `folder` the current directory for the guard's lifetime.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::filesystem::path& folder);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::filesystem::path previous_;
};
