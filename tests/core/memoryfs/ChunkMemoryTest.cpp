// The memory that the chunk list costs: a file of many tiny chunks must not need many times its
// own size for the bookkeeping.
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
    constexpr std::size_t kChunks = 100000;
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

}  // namespace
