// The benchmark's input files: headers whose sizes agree with the file, and silence exactly where the
// job must trim, dense or sparse.
#include "bench/BenchFiles.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

std::uint64_t Le(const Bytes& bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

std::string Id(const Bytes& bytes, std::size_t at) {
    return std::string(bytes.begin() + at, bytes.begin() + at + 4);
}

TEST(BenchFilesTest, HeadersDeclareTheSizesOfTheFile) {
    TempFolder folder;
    const BenchFile riff{"riff", 1, 16, 2 * kMiB, Utf8Path(folder / "riff.wav")};
    const BenchFile rf64{"rf64", 3, 32, 2 * kMiB, Utf8Path(folder / "rf64.wav"), true};
    ASSERT_TRUE(MakeBenchFile(riff));
    ASSERT_TRUE(MakeBenchFile(rf64));
    const Bytes a = ReadBytes(riff.path);
    const Bytes b = ReadBytes(rf64.path);
    EXPECT_EQ(a.size(), FileBytes(riff));
    EXPECT_EQ(b.size(), FileBytes(rf64));

    EXPECT_EQ(Id(a, 0) + Id(a, 8) + Id(a, 12) + Id(a, 36), "RIFFWAVEfmt data");
    EXPECT_EQ(Le(a, 4, 4), a.size() - 8);  // RIFF size
    EXPECT_EQ(Le(a, 40, 4), riff.dataBytes);

    EXPECT_EQ(Id(b, 0) + Id(b, 8) + Id(b, 12) + Id(b, 48) + Id(b, 72), "RF64WAVEds64fmt data");
    EXPECT_EQ(Le(b, 4, 4), 0xFFFFFFFFu);    // RIFF size, in ds64
    EXPECT_EQ(Le(b, 16, 4), 28u);           // ds64 size
    EXPECT_EQ(Le(b, 20, 8), b.size() - 8);  // RIFF size
    EXPECT_EQ(Le(b, 28, 8), rf64.dataBytes);
    EXPECT_EQ(Le(b, 36, 8), rf64.dataBytes / 8);  // frames of two float samples
    EXPECT_EQ(Le(b, 44, 4), 0u);                  // table length
    EXPECT_EQ(Le(b, 56, 2), 3u);                  // float format
    EXPECT_EQ(Le(b, 76, 4), 0xFFFFFFFFu);         // data size, in ds64
}

TEST(BenchFilesTest, SilenceOnlyAtBothEndsAndHolesOnlyInSparseFiles) {
    TempFolder folder;
    const struct {
        BenchFile file;
        std::uint64_t frameBytes;
    } cases[] = {
        {{"24-bit", 1, 24, 3 * kMiB, Utf8Path(folder / "pcm24.wav")}, 6},
        {{"sparse 16-bit", 1, 16, 16 * kMiB, Utf8Path(folder / "sparse.wav"), false, true}, 4},
        {{"sparse RF64 float", 3, 32, 20 * kMiB, Utf8Path(folder / "sparse64.wav"), true, true}, 8},
        {{"one second, a tenth silent at each end", 1, 16, 44100 * 4, Utf8Path(folder / "second.wav"), false, false,
          100},
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.label);
        ASSERT_TRUE(MakeBenchFile(c.file));
        const Bytes bytes = ReadBytes(c.file.path);
        ASSERT_EQ(bytes.size(), FileBytes(c.file));
        const Bytes data(bytes.end() - static_cast<std::ptrdiff_t>(c.file.dataBytes), bytes.end());
        const auto loud = [](std::uint8_t byte) { return byte != 0; };
        const std::uint64_t first = std::find_if(data.begin(), data.end(), loud) - data.begin();
        const std::uint64_t last = data.rend() - std::find_if(data.rbegin(), data.rend(), loud) - 1;
        const std::uint64_t silentBytes = std::uint64_t{c.file.silenceMs} * 44100 / 1000 * c.frameBytes;
        EXPECT_EQ(first / c.frameBytes, silentBytes / c.frameBytes);
        EXPECT_EQ(last / c.frameBytes, (c.file.dataBytes - silentBytes) / c.frameBytes - 1);

        struct stat status {};
        ASSERT_EQ(stat(c.file.path.c_str(), &status), 0);
        const auto onDisk = static_cast<std::uint64_t>(status.st_blocks) * 512;
        EXPECT_EQ(onDisk < bytes.size() / 2, c.file.sparse);
        EXPECT_LE(onDisk, DiskBytes(c.file) + 64 * 1024);
    }
}

}  // namespace
