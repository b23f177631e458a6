// Test folders, whole-file reads and writes and path conversions, on every platform.
#include "TestFiles.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

int NextFolderNumber() {
    static std::atomic<int> counter{0};
    return counter++;
}

}  // namespace

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + Utf8Path(path));
    }
}

Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes BytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::vector<std::filesystem::path> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename());
    }
    return names;
}

void WriteLargeSilentWave(const std::filesystem::path& path, std::uint32_t dataBytes) {
    const Bytes header = WaveHeader(1, 1, kTestSampleRate, 16, dataBytes);
    WriteBytes(path, header);
    std::filesystem::resize_file(path, header.size() + dataBytes);
}

std::string Utf8Path(const std::filesystem::path& path) {
    return path.u8string();
}

TempFolder::TempFolder() : TempFolder(std::to_string(ProcessId()) + "-" + std::to_string(NextFolderNumber())) {}

TempFolder::TempFolder(const std::filesystem::path& name) {
    path_ = std::filesystem::temp_directory_path() / (std::filesystem::path("palvotrix-test-") += name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    // The programs report the folder as the system names it (symbolic links resolved).
    path_ = std::filesystem::canonical(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::MakeFolder(const std::filesystem::path& name) const {
    const std::filesystem::path folder = path_ / name;
    std::filesystem::create_directories(folder);
    return folder;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}
