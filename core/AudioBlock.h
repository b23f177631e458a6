// The buffer a pass reads, scales and writes the planned chunk through, a block at a time.
#pragma once

#include "core/ByteBuffer.h"
#include "core/SampleCodings.h"
#include "core/VolumeAndTrim.h"

#include <cstddef>
#include <cstdint>

// At most a block of whole frames, and no larger than the bytes it serves, so that a short file
// costs a short buffer. Any frame fits in a block. The bytes a block is made from are viewed where
// they can be, so that the samples are scaled straight from the system's cache.
class Block {
public:
    // The blocks of a pass share one view of the file.
    explicit Block(FileView& view) : view_(&view) {}

    bool Allocate(std::size_t frameBytes, std::uint64_t servedBytes);
    std::uint8_t* Data() { return buffer_.Data(); }
    std::size_t Size() const { return size_; }

    // `count` bytes of the chunk from `at` on: a view of the file, or this block after a read; null
    // when they cannot be had.
    const std::uint8_t* Source(const WaveFile& wave, const ChunkInfo& chunk, std::uint64_t at, std::size_t count);

private:
    ByteBuffer buffer_;
    std::size_t size_ = 0;
    FileView* view_;
};

// Puts `count` bytes of the planned chunk from `at` on into `block`, their samples scaled, and adds
// what the scaling saw of them to `tally`.
bool ReadScaled(const WaveFile& wave, const AudioPlan& plan, const CodingRules& rules, std::uint64_t at,
                std::size_t count, Block& block, SampleTally& tally);
