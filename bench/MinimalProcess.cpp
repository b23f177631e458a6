// The minimal whole-file program: 16- and 24-bit integer and 32-bit float stereo, written as
// plainly as the job allows, with the same arithmetic as the core (double products, truncation
// toward zero, clamping, levels rounded to float).
#include "MinimalProcess.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A fresh buffer of whole huge pages, which the pass touches once from front to back.
struct Buffer {
    explicit Buffer(std::size_t bytes) : size((bytes + kHugePage - 1) / kHugePage * kHugePage) {
        data = static_cast<std::uint8_t*>(::operator new (size, std::align_val_t{kHugePage}, std::nothrow));
        if (data != nullptr) {
            madvise(data, size, MADV_HUGEPAGE);
        }
    }
    ~Buffer() { ::operator delete (data, std::align_val_t{kHugePage}); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::size_t size;
    std::uint8_t* data;
};

struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

bool ReadAll(int fd, std::uint8_t* to, std::size_t count) {
    while (count > 0) {
        const ssize_t got = read(fd, to, std::min<std::size_t>(count, std::size_t{1} << 30));
        if (got <= 0) {
            return false;
        }
        to += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* from, std::size_t count) {
    while (count > 0) {
        const ssize_t put = write(fd, from, std::min<std::size_t>(count, std::size_t{1} << 30));
        if (put <= 0) {
            return false;
        }
        from += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

struct Kept {
    std::size_t first;
    std::size_t end;
};

// The gain pass over `count` samples, then the loud range found from each end.
template <class Pass>
Kept Process(std::uint8_t* data, std::size_t count, double gain, float threshold) {
    Pass::Scale(data, count, gain);
    std::size_t first = 0;
    while (first < count && !(Pass::Level(data, first) > threshold)) {
        ++first;
    }
    std::size_t end = count;
    while (end > first && !(Pass::Level(data, end - 1) > threshold)) {
        --end;
    }
    return first == count ? Kept{0, count} : Kept{first, end};
}

struct Pcm16 {
    static constexpr std::size_t kBytes = 2;
    static void Scale(std::uint8_t* data, std::size_t count, double gain) {
        auto* s = reinterpret_cast<std::int16_t*>(data);
        for (std::size_t i = 0; i < count; ++i) {
            s[i] = static_cast<std::int16_t>(std::min(std::max(s[i] * gain, -32768.0), 32767.0));
        }
    }
    static float Level(const std::uint8_t* data, std::size_t i) {
        return static_cast<float>(std::abs(reinterpret_cast<const std::int16_t*>(data)[i]) * 0.000030517578125);
    }
};

struct Pcm24 {
    static constexpr std::size_t kBytes = 3;
    static std::int32_t Load(const std::uint8_t* p, std::size_t i) {
        return ((p[3 * i] | p[3 * i + 1] << 8 | p[3 * i + 2] << 16) ^ 0x800000) - 0x800000;
    }
    static void Scale(std::uint8_t* data, std::size_t count, double gain) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto v = static_cast<std::int32_t>(std::min(std::max(Load(data, i) * gain, -8388608.0), 8388607.0));
            data[3 * i] = static_cast<std::uint8_t>(v);
            data[3 * i + 1] = static_cast<std::uint8_t>(v >> 8);
            data[3 * i + 2] = static_cast<std::uint8_t>(v >> 16);
        }
    }
    static float Level(const std::uint8_t* data, std::size_t i) {
        return static_cast<float>(std::abs(Load(data, i)) / 8388607.0);
    }
};

struct Float32 {
    static constexpr std::size_t kBytes = 4;
    static void Scale(std::uint8_t* data, std::size_t count, double gain) {
        auto* s = reinterpret_cast<float*>(data);
        for (std::size_t i = 0; i < count; ++i) {
            s[i] = static_cast<float>(s[i] * gain);
        }
    }
    static float Level(const std::uint8_t* data, std::size_t i) {
        return std::fabs(reinterpret_cast<const float*>(data)[i]);
    }
};

// Cuts the data chunk to the whole frames from the first to the last loud one; the new length
// of the data chunk.
template <class Pass>
std::size_t Trim(std::uint8_t* data, std::size_t bytes, std::size_t channels, float gain, float threshold) {
    const std::size_t count = bytes / Pass::kBytes;
    const Kept kept = Process<Pass>(data, count, gain, threshold);
    const std::size_t first = kept.first / channels * channels;
    const std::size_t end = (kept.end + channels - 1) / channels * channels;
    std::memmove(data, data + first * Pass::kBytes, (end - first) * Pass::kBytes);
    return (end - first) * Pass::kBytes;
}

bool WriteReplacing(const char* outPath, const std::uint8_t* bytes, std::size_t count) {
    const std::string temporary = std::string(outPath) + ".part";
    Descriptor out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    const bool written = out.fd >= 0 && WriteAll(out.fd, bytes, count) && fsync(out.fd) == 0;
    if (!written || close(out.fd) != 0) {
        out.fd = -1;
        unlink(temporary.c_str());
        return false;
    }
    out.fd = -1;
    if (std::rename(temporary.c_str(), outPath) != 0) {
        return false;
    }
    // The rename itself is made durable too, as the job does.
    const std::string path(outPath);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return directory.fd >= 0 && fsync(directory.fd) == 0;
}

}  // namespace

bool MinimalProcess(const char* inPath, const char* outPath, float gain, float threshold) {
    Descriptor in(open(inPath, O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (in.fd < 0 || fstat(in.fd, &status) != 0 || status.st_size < static_cast<off_t>(kHeaderBytes)) {
        return false;
    }
    const auto fileBytes = static_cast<std::size_t>(status.st_size);
    Buffer buffer(fileBytes);
    if (buffer.data == nullptr || !ReadAll(in.fd, buffer.data, fileBytes)) {
        return false;
    }
    std::uint8_t* header = buffer.data;
    std::uint8_t* data = header + kHeaderBytes;
    const std::size_t dataBytes = std::min<std::size_t>(Le32(header + 40), fileBytes - kHeaderBytes);
    const std::size_t channels = header[22] | header[23] << 8;
    const int bits = header[34] | header[35] << 8;
    const bool isFloat = header[20] == 3;
    std::size_t kept = 0;
    if (isFloat && bits == 32) {
        kept = Trim<Float32>(data, dataBytes, channels, gain, threshold);
    } else if (!isFloat && bits == 16) {
        kept = Trim<Pcm16>(data, dataBytes, channels, gain, threshold);
    } else if (!isFloat && bits == 24) {
        kept = Trim<Pcm24>(data, dataBytes, channels, gain, threshold);
    } else {
        return false;
    }
    StoreLe32(header + 4, static_cast<std::uint32_t>(36 + kept));
    StoreLe32(header + 40, static_cast<std::uint32_t>(kept));
    return WriteReplacing(outPath, buffer.data, kHeaderBytes + kept);
}
