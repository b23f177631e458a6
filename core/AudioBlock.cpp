// A pass's block: its size, and its bytes viewed or read and then scaled.
#include "core/AudioBlock.h"

#include <algorithm>

bool Block::Allocate(std::size_t frameBytes, std::uint64_t servedBytes) {
    size_ = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes / frameBytes * frameBytes, servedBytes));
    return buffer_.Allocate(size_);
}

const std::uint8_t* Block::Source(const WaveFile& wave, const ChunkInfo& chunk, std::uint64_t at, std::size_t count) {
    return wave.ChunkBytes(chunk, at, count, *view_, buffer_.Data());
}

bool ReadScaled(const WaveFile& wave, const AudioPlan& plan, const CodingRules& rules, std::uint64_t at,
                std::size_t count, Block& block, SampleTally& tally) {
    const std::uint8_t* source = block.Source(wave, *plan.chunk, at, count);
    if (source == nullptr) {
        return false;
    }
    rules.scale(source, block.Data(), count / rules.bytes, plan.gain, plan.validBits, tally);
    return true;
}
