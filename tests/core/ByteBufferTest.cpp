// The chunk-data buffer: sizes, alignment and ownership across moves.
#include "core/ByteBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>

namespace {

TEST(ByteBufferTest, EverySizeHoldsWhatWasAskedAndLargeOnesAreAligned) {
    const struct {
        std::size_t size;
        bool cacheLineAligned;
    } rows[] = {{1, false},
                {ByteBuffer::kInlineBytes, false},
                {ByteBuffer::kInlineBytes + 1, false},
                {4097, true},
                {std::size_t{3} << 20, true}};
    for (const auto& row : rows) {
        ByteBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(row.size)) << row.size;
        ASSERT_GE(buffer.Capacity(), row.size);
        if (row.cacheLineAligned) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.Data()) % 64, 0u) << row.size;
        }
        // Both ends are writable; the sanitizers would catch anything less.
        std::memset(buffer.Data(), 0x5A, buffer.Capacity());
        EXPECT_EQ(buffer.Data()[row.size - 1], 0x5A);
    }
}

// A 32-bit process meets these sizes as chunk sizes; an allocator that adds its alignment to them
// wraps around, and a tiny block handed out for them would be overrun by the read that follows.
TEST(ByteBufferTest, SizesAtTheEndOfTheAddressSpaceAreRefused) {
    for (const std::size_t size : {SIZE_MAX, SIZE_MAX - 15, SIZE_MAX - 63, SIZE_MAX - (std::size_t{1} << 20)}) {
        ByteBuffer buffer;
        EXPECT_FALSE(buffer.Allocate(size)) << size;
        EXPECT_EQ(buffer.Data(), nullptr);
        EXPECT_EQ(buffer.Capacity(), 0u);
    }
}

TEST(ByteBufferTest, TinyContentsLiveInTheObjectAndSurviveAMove) {
    ByteBuffer first;
    ASSERT_TRUE(first.Allocate(3));
    const auto* object = reinterpret_cast<const std::uint8_t*>(&first);
    EXPECT_TRUE(first.Data() >= object && first.Data() < object + sizeof first);
    std::memcpy(first.Data(), "abc", 3);
    ByteBuffer second;
    second = std::move(first);
    ASSERT_EQ(second.Capacity(), 3u);
    EXPECT_EQ(std::memcmp(second.Data(), "abc", 3), 0);
    EXPECT_EQ(first.Data(), nullptr);
}

TEST(ByteBufferTest, MoveHandsOverTheArrayAndEmptyAllocationHoldsNothing) {
    ByteBuffer first;
    ASSERT_TRUE(first.Allocate(100));
    const std::uint8_t* array = first.Data();
    ByteBuffer second = std::move(first);
    EXPECT_EQ(second.Data(), array);
    EXPECT_EQ(first.Data(), nullptr);
    EXPECT_EQ(first.Capacity(), 0u);
    ASSERT_TRUE(second.Allocate(0));
    EXPECT_EQ(second.Data(), nullptr);
    EXPECT_EQ(second.Capacity(), 0u);
}

// On Linux a block-sized buffer that a thread released serves its next one of about that size, and
// the new owner is told the capacity it asked for, never the larger one it may have got: a chunk's
// held bytes are told by it. A kept buffer is not the allocator's to hand out meanwhile.
TEST(ByteBufferTest, ReleasedBlockSizedBuffersServeTheThreadsNextOnesOfAboutTheirSize) {
#if !defined(__linux__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "buffers are kept for reuse only on Linux, and not under AddressSanitizer";
#endif
    const struct {
        std::size_t released;
        std::size_t asked;
        bool reused;
    } rows[] = {
        {200000, 200000, true},
        {200000, 150000, true},
        {200000, 99999, false},
        {100000, 150000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.released) + " then " + std::to_string(row.asked));
        // A thread of its own: nothing kept from before.
        std::thread([&row] {
            const std::uint8_t* released = nullptr;
            {
                ByteBuffer first;
                ASSERT_TRUE(first.Allocate(row.released));
                released = first.Data();
            }
            ByteBuffer second;
            ASSERT_TRUE(second.Allocate(row.asked));
            EXPECT_EQ(second.Data() == released, row.reused);
            EXPECT_EQ(second.Capacity(), row.asked);
            std::memset(second.Data(), 0x5A, second.Capacity());
        }).join();
    }
}

}  // namespace
