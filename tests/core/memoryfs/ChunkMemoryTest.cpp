// The memory that the chunk list costs: a file of many tiny chunks must not need many times its
// own size for the bookkeeping, nor more records than the limit, and a file of any size holds few
// bytes in memory. Sizes beyond the test's memory are claimed by the in-memory files.
#include "support/MemoryFileService.h"
#include "support/WavBuilder.h"

#include "core/WaveFile.h"

#include <gtest/gtest.h>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#define PALVOTRIX_HEAP_MEASURED 1
#endif

namespace {

#ifdef PALVOTRIX_HEAP_MEASURED
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
#endif

TEST(ChunkMemoryTest, ManyOneByteChunksCostLittleMoreThanTenTimesTheirBytes) {
#ifndef PALVOTRIX_HEAP_MEASURED
    GTEST_SKIP() << "the heap in use is measured with glibc's allocator only";
#else
    constexpr std::size_t kChunks = kMostChunks - 1;
    Bytes file = Riff({Fmt(1, 1, 8000, 16)});
    const Bytes tiny = Chunk("junk", {7});
    file.reserve(file.size() + kChunks * tiny.size());
    for (std::size_t i = 0; i < kChunks; ++i) {
        file.insert(file.end(), tiny.begin(), tiny.end());
    }
    const Utf16String path = Utf16FromUtf8("/in/tiny.wav");
    memoryfs::Reset();
    memoryfs::Put(path, file);

    const std::size_t before = HeapInUse();
    WaveFile wave;
    ASSERT_TRUE(wave.Read(path.c_str()));
    const std::size_t used = HeapInUse() - before;
    ASSERT_EQ(wave.chunks.size(), kChunks + 1);
    // Each chunk is 10 bytes of file; a record, its handle and its data cost about 90 bytes.
    EXPECT_LT(used, 12 * file.size());
#endif
}

const Utf16String kInput = Utf16FromUtf8("/in/big.wav");

// `count` empty chunks after a "fmt " chunk.
Bytes EmptyChunks(std::size_t count) {
    Bytes file = Riff({Fmt(1, 1, 8000, 16)});
    const Bytes empty = ChunkDeclaring("JUNK", 0, {});
    for (std::size_t i = 0; i < count; ++i) {
        file.insert(file.end(), empty.begin(), empty.end());
    }
    return file;
}

TEST(ChunkMemoryTest, ChunksPastTheLimitRefuseTheFile) {
    memoryfs::Reset();
    memoryfs::Put(kInput, EmptyChunks(kMostChunks - 1));
    WaveFile atTheLimit;
    ASSERT_TRUE(atTheLimit.Read(kInput.c_str()));
    EXPECT_EQ(atTheLimit.chunks.size(), kMostChunks);

    // One more, and a file of 8 M of them, stop at the first past the limit. The header is 12
    // bytes and the "fmt " chunk 24.
    const Bytes onePast = EmptyChunks(kMostChunks);
    for (const std::uint64_t claimed : {std::uint64_t{onePast.size()}, std::uint64_t{36} + (std::uint64_t{8} << 23)}) {
        memoryfs::PutClaiming(kInput, onePast, claimed);
        WaveFile refused;
        EXPECT_FALSE(refused.Read(kInput.c_str()));
        EXPECT_EQ(refused.refusal.kind, FileReason::Kind::TooManyChunks);
        EXPECT_EQ(refused.refusal.offset, 36 + (kMostChunks - 1) * 8);
        EXPECT_EQ(refused.refusal.count, kMostChunks);
        EXPECT_EQ(refused.chunks.size(), kMostChunks);
    }
    memoryfs::Reset();
}

// The files of a report of memory that grew with the file: the reader holds a few MiB whatever
// their size, and no record for the unused space.
TEST(ChunkMemoryTest, LargeFilesHoldFewBytes) {
    // The held bytes of the small chunks and of those the job reads, 4 MiB each.
    constexpr std::uint64_t kHeldAtMost = std::uint64_t{8} << 20;
    const Bytes fmt = Fmt(1, 1, 8000, 16);
    const Bytes mebibyte(std::size_t{1} << 20, 0x5A);
    // Sixteen chunks of 1 MiB, each small enough to be held, together four times either budget.
    const auto sixteen = [&fmt, &mebibyte](const char* id) {
        Bytes file = Riff({fmt});
        for (int i = 0; i < 16; ++i) {
            const Bytes chunk = Chunk(id, mebibyte);
            file.insert(file.end(), chunk.begin(), chunk.end());
        }
        return file;
    };
    const Bytes smallChunks = sixteen("junk");
    const Bytes listChunks = sixteen("LIST");
    const struct {
        const char* what;
        Bytes head;
        std::uint64_t claimed;
        std::size_t chunks;
    } rows[] = {
        {"sixteen chunks of 1 MiB", smallChunks, smallChunks.size(), 17},
        {"sixteen LIST chunks of 1 MiB", listChunks, listChunks.size(), 17},
        {"256 MiB of zeros after a header", Concat({Riff({fmt}), Bytes(8, 0)}), 36 + (std::uint64_t{256} << 20), 1},
        {"a LIST of 3 GiB", Riff({fmt, ChunkDeclaring("LIST", 0xC0000000u, mebibyte)}), 44 + 0xC0000000ull, 2},
        {"a LIST of 6 GiB in RF64",
         Wave64("RF64",
                {Ds64(0, 0, 0, {{"LIST", std::uint64_t{6} << 30}}), fmt, ChunkDeclaring("LIST", ~0u, mebibyte)}),
         12 + 48 + 24 + 8 + (std::uint64_t{6} << 30), 3},
        {"a ds64 of 0xFFFFFFF0 bytes",
         Wave64("RF64", {ChunkDeclaring("ds64", 0xFFFFFFF0u, Concat({Bytes(28, 0), mebibyte}))}), 20 + 0xFFFFFFF0ull,
         1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        memoryfs::Reset();
        memoryfs::PutClaiming(kInput, row.head, row.claimed);
        WaveFile wave;
        ASSERT_TRUE(wave.Read(kInput.c_str()));
        EXPECT_EQ(wave.chunks.size(), row.chunks);
        std::uint64_t held = wave.unusedSpace.data.Capacity();
        for (const auto& chunk : wave.chunks) {
            held += chunk->data.Capacity();
        }
        EXPECT_LE(held, kHeldAtMost);
    }
    memoryfs::Reset();
}

}  // namespace
