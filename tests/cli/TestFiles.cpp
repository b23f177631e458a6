// WAV fixtures, test folders and path conversions for the command-line tests.
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

int ProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

void PutLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::string WaveHeader(int bitsPerSample, std::uint32_t dataBytes)
{
    const std::uint32_t bytesPerSample = static_cast<std::uint32_t>(bitsPerSample) / 8;
    std::string out = "RIFF";
    PutLe(out, 4 + (8 + 16) + (8 + dataBytes), 4);
    out += "WAVE";
    out += "fmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);                                 // integer PCM
    PutLe(out, 1, 2);                                 // one channel
    PutLe(out, kTestSampleRate, 4);
    PutLe(out, kTestSampleRate * bytesPerSample, 4);  // byte rate
    PutLe(out, bytesPerSample, 2);                    // block align
    PutLe(out, static_cast<std::uint32_t>(bitsPerSample), 2);
    out += "data";
    PutLe(out, dataBytes, 4);
    return out;
}

}  // namespace

std::string MakeWave(int bitsPerSample, const std::vector<std::int32_t>& samples)
{
    const int bytesPerSample = bitsPerSample / 8;
    std::string wave = WaveHeader(bitsPerSample, static_cast<std::uint32_t>(samples.size() * bytesPerSample));
    for (const std::int32_t sample : samples) {
        // 8-bit samples are stored offset by 128, the others in two's complement.
        const std::int32_t stored = bitsPerSample == 8 ? sample + 128 : sample;
        PutLe(wave, static_cast<std::uint32_t>(stored), bytesPerSample);
    }
    return wave;
}

void WriteLargeSilentWave(const std::filesystem::path& path, std::uint32_t dataBytes)
{
    const std::string header = WaveHeader(16, dataBytes);
    WriteBytes(path, header);
    std::filesystem::resize_file(path, header.size() + dataBytes);
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + Utf8Path(path));
    }
}

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Utf8Path(const std::filesystem::path& path)
{
    return path.u8string();
}

Utf16String Utf16Path(const std::filesystem::path& path)
{
#ifdef _WIN32
    return path.wstring();
#else
    return path.u16string();
#endif
}

TestFolder::TestFolder()
{
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path()
            / ("palvotrix-cli-test-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    // The program reports the folder as the system names it (symbolic links resolved).
    path_ = std::filesystem::canonical(path_);
}

TestFolder::~TestFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TestFolder::MakeFolder(const std::filesystem::path& name) const
{
    const std::filesystem::path folder = path_ / name;
    std::filesystem::create_directories(folder);
    return folder;
}
