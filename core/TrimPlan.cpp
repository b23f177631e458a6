// The plan of the job on the first "data" chunk: the gain, the kept frames between the silent
// ends, found by scanning the head forward and the tail backward, and the margins put back.
#include "core/AudioBlock.h"
#include "core/SampleCodings.h"
#include "core/VolumeAndTrim.h"

#include <algorithm>
#include <cmath>

namespace {

// Whole frames of silence for a margin. Negative and NaN margins add none; false when the
// margin alone could not fit in a chunk. The byte rate is only a declared average: where it
// disagrees with the sample rate, the sample rate says how many frames a second holds.
bool MarginFrames(const WaveFormat& format, std::size_t frameBytes, float marginSec, std::uint64_t& frames) {
    const bool ratesAgree = std::uint64_t{format.sampleRate} * format.blockAlign == format.byteRate;
    const double exact = ratesAgree ? static_cast<double>(static_cast<float>(format.byteRate)) * marginSec /
                                          static_cast<double>(static_cast<float>(frameBytes))
                                    : static_cast<double>(format.sampleRate) * marginSec;
    frames = 0;
    if (!(exact > 0.0)) {
        return true;
    }
    if (exact >= 4294967296.0) {
        return false;
    }
    frames = static_cast<std::uint64_t>(exact);
    return true;
}

// The chunk's samples as the passes see them: whole samples, of which the first `framedBytes`
// form whole frames; the bytes of a last partial sample are no sample.
struct AudioShape {
    std::size_t channels;
    std::size_t frameBytes;
    std::uint64_t sampleBytes;
    std::uint64_t framedBytes;
};

AudioShape ShapeOf(const WaveFormat& format, std::size_t sampleBytes, std::uint64_t chunkBytes) {
    const std::size_t frameBytes = sampleBytes * format.channels;
    return AudioShape{format.channels, frameBytes, chunkBytes / sampleBytes * sampleBytes,
                      chunkBytes / frameBytes * frameBytes};
}

// What a search reads through and looks for. What the scaling sees of the samples is of no use
// here: the samples a trim cuts are quieter than the kept ones beside them, so the writer's tally of
// the kept samples holds the chunk's peak.
struct Search {
    const WaveFile& wave;
    const AudioPlan& plan;
    const CodingRules& rules;
    const AudioShape& shape;
    const std::atomic<bool>& cancelRequested;
};

// The first framed sample louder than `threshold` after the gain, scanning forward a block at a
// time; `found` stays past the last sample when there is none.
TrimOutcome FindFirstLoud(const Search& search, float threshold, Block& block, std::uint64_t& found) {
    const std::size_t bytes = search.rules.bytes;
    for (std::uint64_t at = 0; at < search.shape.framedBytes; at += block.Size()) {
        if (search.cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), search.shape.framedBytes - at));
        SampleTally unused;
        if (!ReadScaled(search.wave, search.plan, search.rules, at, count, block, unused)) {
            return TrimOutcome::ReadFailed;
        }
        const std::size_t samples = count / bytes;
        const std::size_t i = search.rules.firstLoud(block.Data(), samples, threshold);
        if (i < samples) {
            found = at / bytes + i;
            return TrimOutcome::Done;
        }
    }
    return TrimOutcome::Done;
}

// The last framed sample louder than `threshold` after the gain, scanning backward from the end a
// block of whole frames at a time; `found` is left as it was when there is none.
TrimOutcome FindLastLoud(const Search& search, float threshold, Block& block, std::uint64_t& found) {
    const std::size_t bytes = search.rules.bytes;
    std::size_t count = 0;
    for (std::uint64_t end = search.shape.framedBytes; end > 0; end -= count) {
        if (search.cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), end));
        SampleTally unused;
        if (!ReadScaled(search.wave, search.plan, search.rules, end - count, count, block, unused)) {
            return TrimOutcome::ReadFailed;
        }
        const std::size_t samples = count / bytes;
        const std::size_t i = search.rules.lastLoud(block.Data(), samples, threshold);
        if (i < samples) {
            found = (end - count) / bytes + i;
            return TrimOutcome::Done;
        }
    }
    return TrimOutcome::Done;
}

// The kept whole frames, [first, end).
struct FrameRange {
    std::uint64_t first;
    std::uint64_t end;
};

// A threshold of 1.0 or more keeps its end; so does one that no sample exceeds. When no sample
// passed the head's threshold, none passes a tail threshold as high, and the tail is not read.
TrimOutcome FindKeptFrames(const Search& search, float headLinear, float tailLinear, FrameRange& kept) {
    const AudioShape& shape = search.shape;
    const std::uint64_t framedSamples = shape.framedBytes / search.rules.bytes;
    FileView view;
    Block block(view);
    if (!block.Allocate(shape.frameBytes, shape.framedBytes)) {
        return TrimOutcome::Failed;
    }
    std::uint64_t head = framedSamples;
    if (headLinear < 1.0f) {
        const TrimOutcome outcome = FindFirstLoud(search, headLinear, block, head);
        if (outcome != TrimOutcome::Done) {
            return outcome;
        }
        if (head < framedSamples) {
            kept.first = head / shape.channels;
        } else if (tailLinear >= headLinear) {
            return TrimOutcome::Done;
        }
    }
    std::uint64_t tail = framedSamples;
    if (tailLinear < 1.0f) {
        const TrimOutcome outcome = FindLastLoud(search, tailLinear, block, tail);
        if (outcome != TrimOutcome::Done) {
            return outcome;
        }
        if (tail < framedSamples) {
            kept.end = tail / shape.channels + 1;
        }
    }
    return TrimOutcome::Done;
}

TrimOutcome Plan(const WaveFile& wave, const ProcessingValues& values, const CodingRules& rules,
                 const std::atomic<bool>& cancelRequested, AudioPlan& plan) {
    const WaveFormat& format = wave.format;
    const AudioShape shape = ShapeOf(format, rules.bytes, plan.chunk->size);
    plan.gain = CodingGain(rules, values.gain);
    plan.validBits = ValidBitsMask(format, rules.bytes);
    plan.keptBytes = shape.sampleBytes;
    plan.restBytes = plan.chunk->size - shape.sampleBytes;
    const std::uint64_t frames = shape.framedBytes / shape.frameBytes;
    FrameRange kept{0, frames};
    const TrimOutcome found =
        FindKeptFrames(Search{wave, plan, rules, shape, cancelRequested}, LinearFromDb(values.head.thresholdDb),
                       LinearFromDb(values.tail.thresholdDb), kept);
    if (found != TrimOutcome::Done || (kept.first == 0 && kept.end == frames)) {
        // Nothing cut: a partial last frame stays, and no margins are added.
        return found;
    }
    std::uint64_t headFrames = 0;
    std::uint64_t tailFrames = 0;
    if (!MarginFrames(format, shape.frameBytes, values.head.marginSec, headFrames) ||
        !MarginFrames(format, shape.frameBytes, values.tail.marginSec, tailFrames)) {
        return TrimOutcome::Failed;
    }
    plan.headSilenceBytes = headFrames * shape.frameBytes;
    plan.keptOffset = kept.first * shape.frameBytes;
    plan.keptBytes = (kept.end - kept.first) * shape.frameBytes;
    plan.tailSilenceBytes = tailFrames * shape.frameBytes;
    plan.restBytes = 0;
    if (plan.NewSize() > LargestSize(wave.form)) {
        return TrimOutcome::Failed;
    }
    plan.report = TrimReport{true, kept.first, headFrames, plan.NewSize() / shape.frameBytes};
    return TrimOutcome::Done;
}

}  // namespace

float LinearFromDb(float db) {
    const auto exponent = static_cast<float>(db / 20.0);
    return static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
}

TrimOutcome PlanVolumeAndTrim(const WaveFile& wave, const ProcessingValues& values,
                              const std::atomic<bool>& cancelRequested, AudioPlan& plan) {
    plan = AudioPlan{};
    const SampleCoding coding = CodingOf(wave.format);
    const ChunkInfo* chunk = FirstChunk(wave.chunks, "data");
    if (chunk == nullptr || coding == SampleCoding::None) {
        return TrimOutcome::Done;
    }
    plan.chunk = chunk;
    plan.coding = coding;
    return Plan(wave, values, *RulesOf(coding), cancelRequested, plan);
}
