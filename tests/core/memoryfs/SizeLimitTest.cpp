// Sizes at the 32-bit limits, where a 32-bit process would overflow its size arithmetic or its
// address space: chunks of nearly 4 GiB in a file that really is that long, and RIFF sizes that
// the header field can barely hold.
#include "support/MemoryFileService.h"
#include "support/WavBuilder.h"

#include "core/Ds64.h"
#include "core/FileJob.h"
#include "core/FileService.h"
#include "core/ProcessingSettings.h"
#include "core/WaveWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
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

// A chunk of 0xFFFFFFFF bytes that the file really holds is whole, not cut short; one byte fewer
// and it runs past the end.
TEST(SizeLimitTest, ChunkOfTheLargestSizeEndingWithTheFileIsWhole) {
    const Bytes head = Riff({Fmt(1, 1, 8000, 16), ChunkDeclaring("junk", 0xFFFFFFFFu, Bytes(16, 0x11))});
    const std::uint64_t whole = head.size() - 16 + std::uint64_t{0xFFFFFFFF};
    for (const std::uint64_t fileSize : {whole, whole - 1}) {
        SCOPED_TRACE(fileSize);
        memoryfs::Reset();
        memoryfs::PutClaiming(kInput, head, fileSize);
        WaveFile wave;
        const bool read = wave.Read(kInput.c_str());
        EXPECT_EQ(read, fileSize == whole);
        EXPECT_EQ(wave.refusal.kind, read ? FileReason::Kind::None : FileReason::Kind::Damaged);
        if (read) {
            EXPECT_EQ(wave.chunks.back()->size, 0xFFFFFFFFu);
        }
    }
    memoryfs::Reset();
}

// The "ds64" chunk that opens every file of a 64-bit form as read, with no table rows.
std::shared_ptr<ChunkInfo> SizeTable() {
    auto chunk = std::make_shared<ChunkInfo>();
    std::memcpy(chunk->id, "ds64", 4);
    chunk->size = ds64::kFieldBytes;
    if (chunk->data.Allocate(ds64::kFieldBytes)) {
        std::memset(chunk->data.Data(), 0, ds64::kFieldBytes);
    }
    return chunk;
}

// A chunk list of the form whose chunks claim `sizes`, after the "ds64" chunk of a 64-bit form,
// read from an input that holds only their first block.
WaveFile ClaimingChunks(RiffForm form, const std::vector<std::uint64_t>& sizes) {
    memoryfs::Put(kInput, Bytes(kBlockBytes, 0));
    WaveFile wave;
    wave.form = form;
    bool notRegular = false;
    wave.file = fileservice::OpenForReading(kInput.c_str(), notRegular);
    if (form != RiffForm::Riff) {
        wave.chunks.push_back(SizeTable());
    }
    for (const std::uint64_t size : sizes) {
        auto chunk = std::make_shared<ChunkInfo>();
        std::memcpy(chunk->id, "junk", 4);
        chunk->size = size;
        wave.chunks.push_back(chunk);
    }
    return wave;
}

// Writes the chunk list into a folder whose writes fail past the 12 bytes of the RIFF header; why
// it failed. Only the input stays.
FileReason WriteFailingPastTheHeader(WaveFile wave) {
    memoryfs::ArmedFaults().failWritePastByte = 12;
    ProcessingSettings settings;
    OutputInto(settings, "/out");
    FileReason reason;
    EXPECT_FALSE(WriteWaveFile(settings, kInput.c_str(), wave, reason));
    EXPECT_EQ(memoryfs::Files().size(), 1u);
    return reason;
}

// The RIFF size counts "WAVE" and every chunk's header, data and pad byte. The chunks claim their
// sizes only: a size that fits is seen in the header written first, after which the write of the
// first block of chunk data, read from an input of that one block, fails.
TEST(SizeLimitTest, RiffSizeCountsEveryHeaderAndPadByteUpTo32Bits) {
    constexpr std::uint64_t kRefused = 0;
    const struct {
        const char* what;
        std::vector<std::uint64_t> sizes;
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
        WaveFile wave = ClaimingChunks(RiffForm::Riff, row.sizes);
        Bytes header;
        memoryfs::ObserveSteps([&](memoryfs::Step step) {
            // The temporary file, beside the input, just before it goes.
            if (step == memoryfs::Step::Remove && memoryfs::Files().size() == 2) {
                header = memoryfs::Files().rbegin()->second;
            }
        });
        WriteFailingPastTheHeader(std::move(wave));
        Bytes expected;
        if (row.riffSize != kRefused) {
            expected = {'R', 'I', 'F', 'F'};
            PutLe(expected, row.riffSize, 4);
            expected.insert(expected.end(), {'W', 'A', 'V', 'E'});
        }
        EXPECT_EQ(header, expected);
    }
    memoryfs::Reset();
}

// In the 64-bit forms the sizes stop at 2^63 - 1, the most a signed 64-bit file offset can
// address: the RIFF size with every header and pad byte, and each chunk's own size, checked before
// it is added so that the sum cannot wrap. A size that fits passes on to the write, which fails.
TEST(SizeLimitTest, SizesOfThe64BitFormsStopAtTheLargestSignedOffset) {
    constexpr std::uint64_t kLargest = 0x7FFFFFFFFFFFFFFFu;
    const struct {
        const char* what;
        std::vector<std::uint64_t> sizes;
        bool taken;
    } rows[] = {
        // "WAVE", the ds64 chunk of 8 + 28 bytes and a chunk header: 48 bytes besides the data.
        {"largest even chunk", {kLargest - 49}, true},
        {"the next, whose pad byte passes the limit", {kLargest - 48}, false},
        {"a chunk past the limit on its own", {kLargest + 1}, false},
        {"a chunk whose sum would wrap to a small size", {0xFFFFFFFFFFFFFFFFu}, false},
        {"two quarters", {kLargest / 4, kLargest / 4}, true},
        {"two halves", {kLargest / 2 + 1, kLargest / 2 + 1}, false},
    };
    for (const RiffForm form : {RiffForm::Rf64, RiffForm::Bw64}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(row.what);
            memoryfs::Reset();
            const FileReason reason = WriteFailingPastTheHeader(ClaimingChunks(form, row.sizes));
            EXPECT_EQ(reason.kind == FileReason::Kind::TooLarge, !row.taken);
        }
    }
    memoryfs::Reset();
}

}  // namespace
