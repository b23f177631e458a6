// Sizes at the 32-bit limits, where a 32-bit process would overflow its size arithmetic or its
// address space: chunks of nearly 4 GiB in a file that really is that long, and RIFF sizes that
// the header field can barely hold.
#include "support/MemoryFileService.h"
#include "support/WavBuilder.h"

#include "core/FileJob.h"
#include "core/FileService.h"
#include "core/ProcessingSettings.h"
#include "core/WaveWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Allocations the address space cannot satisfy must come back empty under AddressSanitizer too,
// as they do without it, rather than end the test program.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

const Utf16String kInput = Utf16FromUtf8("/in/big.wav");

void OutputInto(ProcessingSettings& settings, const char* folder) {
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8(folder).c_str());
}

// A chunk the job holds ("LIST", for its markers) cannot be held by a 32-bit process, which must
// refuse the file; a 64-bit one holds it and meets the end of the bytes that are really there.
// Those are enough to overrun at once any buffer handed out smaller than asked for. The audio is
// read a block at a time and meets the end all the same.
TEST(SizeLimitTest, ChunkBeyondTheAddressSpaceIsAnErrorNotACrash) {
    const Bytes start(1 << 16, 0x11);
    for (const char* id : {"LIST", "data"}) {
        for (const std::uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFC1u, 0xF0000000u, 0xC0000001u}) {
            SCOPED_TRACE(std::string(id) + " of " + std::to_string(size));
            memoryfs::Reset();
            const Bytes head = Riff({Fmt(1, 1, 8000, 16), ChunkDeclaring(id, size, start)});
            memoryfs::PutClaiming(kInput, head, std::uint64_t{head.size() - start.size()} + size + 1);
            ProcessingSettings settings;
            OutputInto(settings, "/out");
            ProcessFile(settings, kInput.c_str());
            EXPECT_TRUE(settings.errorOccurred);
            EXPECT_EQ(memoryfs::Files().size(), 1u);
        }
    }
    memoryfs::Reset();
}

// The RIFF size counts "WAVE" and every chunk's header, data and pad byte. The chunks claim their
// sizes only: a size that fits is seen in the header written first, after which the write of the
// first block of chunk data, read from an input of that one block, fails.
TEST(SizeLimitTest, RiffSizeCountsEveryHeaderAndPadByteUpTo32Bits) {
    constexpr std::uint64_t kRefused = 0;
    const struct {
        const char* what;
        std::vector<std::uint32_t> sizes;
        std::uint64_t riffSize;
    } rows[] = {
        {"largest even chunk", {0xFFFFFFF2u}, 0xFFFFFFFEu},
        {"largest odd chunk, with its pad byte", {0xFFFFFFF1u}, 0xFFFFFFFEu},
        {"a pad byte past the limit", {0xFFFFFFF3u}, kRefused},
        {"a chunk of 0xFFFFFFFF", {0xFFFFFFFFu}, kRefused},
        {"an empty chunk that still fits", {0xFFFFFFEAu, 0}, 0xFFFFFFFEu},
        {"an empty chunk's header past the limit", {0xFFFFFFECu, 0}, kRefused},
        {"two halves", {0x7FFFFFF8u, 0x7FFFFFF8u}, kRefused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        memoryfs::Reset();
        memoryfs::Put(kInput, Bytes(kBlockBytes, 0));
        WaveFile wave;
        bool notRegular = false;
        wave.file = fileservice::OpenForReading(kInput.c_str(), notRegular);
        for (const std::uint32_t size : row.sizes) {
            auto chunk = std::make_shared<ChunkInfo>();
            std::memcpy(chunk->id, "junk", 4);
            chunk->size = size;
            wave.chunks.push_back(chunk);
        }
        memoryfs::ArmedFaults().failWritePastByte = 12;
        Bytes header;
        memoryfs::ObserveSteps([&](memoryfs::Step step) {
            // The temporary file, beside the input, just before it goes.
            if (step == memoryfs::Step::Remove && memoryfs::Files().size() == 2) {
                header = memoryfs::Files().rbegin()->second;
            }
        });
        ProcessingSettings settings;
        OutputInto(settings, "/out");
        FileReason reason;
        EXPECT_FALSE(WriteWaveFile(settings, kInput.c_str(), wave, reason));
        Bytes expected;
        if (row.riffSize != kRefused) {
            expected = {'R', 'I', 'F', 'F'};
            PutLe(expected, row.riffSize, 4);
            expected.insert(expected.end(), {'W', 'A', 'V', 'E'});
        }
        EXPECT_EQ(header, expected);
        EXPECT_EQ(memoryfs::Files().size(), 1u);
    }
    memoryfs::Reset();
}

}  // namespace
