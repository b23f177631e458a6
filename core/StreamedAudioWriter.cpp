// The planned chunk written in one forward pass: the head's silence, the kept frames scaled a
// block at a time with the next block scaled on a helper thread, the tail's silence, and the bytes
// after the last whole sample.
#include "core/AudioBlock.h"
#include "core/HelperThread.h"
#include "core/SampleCodings.h"
#include "core/VolumeAndTrim.h"

#include <algorithm>
#include <cstring>

namespace {

// `bytes` of the coding's silence, written from a block filled with it.
TrimOutcome WriteSilence(std::uint64_t bytes, std::uint8_t silence, Block& block, ByteSink& out,
                         const std::atomic<bool>& cancelRequested) {
    if (bytes == 0) {
        return TrimOutcome::Done;
    }
    std::memset(block.Data(), silence, block.Size());
    for (std::uint64_t left = bytes; left > 0;) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), left));
        if (!out.Write(block.Data(), count)) {
            return TrimOutcome::WriteFailed;
        }
        left -= count;
    }
    return TrimOutcome::Done;
}

// The kept bytes from `at` on that one block holds.
std::size_t KeptSpan(const AudioPlan& plan, const Block& block, std::uint64_t at) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), plan.keptBytes - at));
}

// The kept frames, scaled a block at a time. Each block after the first is scaled on the helper
// thread while the one before is written, so that the arithmetic and the write's copy run on two
// processors; the bytes themselves are viewed or read on this thread, as every file operation is.
TrimOutcome WriteKeptScaled(const WaveFile& wave, const AudioPlan& plan, const CodingRules& rules, Block (&blocks)[2],
                            ByteSink& out, const std::atomic<bool>& cancelRequested, SampleTally& written) {
    if (plan.keptBytes == 0) {
        return TrimOutcome::Done;
    }
    std::size_t count = KeptSpan(plan, blocks[0], 0);
    if (!ReadScaled(wave, plan, rules, plan.keptOffset, count, blocks[0], written)) {
        return TrimOutcome::ReadFailed;
    }
    HelperThread helper;
    // The helper tallies a block of its own, added here once it has ended.
    struct {
        const std::uint8_t* source;
        std::uint8_t* block;
        std::size_t samples;
        SampleTally tally;
    } next{};
    for (std::uint64_t at = 0, current = 0; at < plan.keptBytes; current ^= 1) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        Block& following = blocks[current ^ 1];
        const std::uint64_t nextAt = at + count;
        const std::size_t nextCount = nextAt < plan.keptBytes ? KeptSpan(plan, following, nextAt) : 0;
        if (nextCount > 0) {
            next = {following.Source(wave, *plan.chunk, plan.keptOffset + nextAt, nextCount), following.Data(),
                    nextCount / rules.bytes, SampleTally{}};
            if (next.source == nullptr) {
                return TrimOutcome::ReadFailed;
            }
            helper.Start([&next, &plan, &rules] {
                rules.scale(next.source, next.block, next.samples, plan.gain, plan.validBits, next.tally);
            });
        }
        const bool stored = out.Write(blocks[current].Data(), count);
        helper.Wait();
        if (!stored) {
            return TrimOutcome::WriteFailed;
        }
        written.Add(next.tally);
        next.tally = SampleTally{};
        at = nextAt;
        count = nextCount;
    }
    return TrimOutcome::Done;
}

// The bytes after the last whole sample, fewer than a sample's, as they are.
TrimOutcome WriteRest(const WaveFile& wave, const AudioPlan& plan, ByteSink& out) {
    std::uint8_t rest[8];
    const auto count = static_cast<std::size_t>(plan.restBytes);
    if (!wave.ReadChunk(*plan.chunk, plan.keptOffset + plan.keptBytes, rest, count)) {
        return TrimOutcome::ReadFailed;
    }
    return out.Write(rest, count) ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

TrimOutcome Write(const WaveFile& wave, const AudioPlan& plan, const CodingRules& rules, ByteSink& out,
                  const std::atomic<bool>& cancelRequested, SampleTally& written) {
    FileView view;
    Block blocks[2] = {Block(view), Block(view)};
    const std::size_t frameBytes = rules.bytes * wave.format.channels;
    const std::uint64_t served = std::max(plan.chunk->size, plan.NewSize());
    if (!blocks[0].Allocate(frameBytes, served) || !blocks[1].Allocate(frameBytes, served)) {
        return TrimOutcome::Failed;
    }
    TrimOutcome outcome = WriteSilence(plan.headSilenceBytes, rules.silence, blocks[0], out, cancelRequested);
    if (outcome == TrimOutcome::Done) {
        outcome = WriteKeptScaled(wave, plan, rules, blocks, out, cancelRequested, written);
    }
    if (outcome == TrimOutcome::Done) {
        outcome = WriteSilence(plan.tailSilenceBytes, rules.silence, blocks[0], out, cancelRequested);
    }
    return outcome == TrimOutcome::Done ? WriteRest(wave, plan, out) : outcome;
}

}  // namespace

TrimOutcome WritePlannedAudio(const WaveFile& wave, const AudioPlan& plan, ByteSink& out,
                              const std::atomic<bool>& cancelRequested, SampleTally& written) {
    const CodingRules* rules = RulesOf(plan.coding);
    return rules == nullptr ? TrimOutcome::Done : Write(wave, plan, *rules, out, cancelRequested, written);
}
