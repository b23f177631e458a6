// The passes over a wave in memory, their output collected in a buffer of its own.
#include "InMemoryPass.h"

#include <cstring>
#include <vector>

namespace {

class MemorySink : public ByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t count) override {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<std::uint8_t> bytes;
};

// The wave's own chunk that the plan names.
ChunkInfo& PlannedChunk(WaveFile& wave, const ChunkInfo* planned) {
    for (const auto& chunk : wave.chunks) {
        if (chunk.get() == planned) {
            return *chunk;
        }
    }
    return *wave.chunks.front();
}

}  // namespace

TrimOutcome ApplyVolumeAndTrim(WaveFile& wave, const ProcessingValues& values, const std::atomic<bool>& cancelRequested,
                               TrimReport* report, SampleTally* tally) {
    AudioPlan plan;
    TrimOutcome outcome = PlanVolumeAndTrim(wave, values, cancelRequested, plan);
    if (outcome != TrimOutcome::Done || plan.chunk == nullptr) {
        return outcome;
    }
    MemorySink sink;
    SampleTally written;
    outcome = WritePlannedAudio(wave, plan, sink, cancelRequested, written);
    if (outcome != TrimOutcome::Done) {
        return outcome;
    }
    ChunkInfo& chunk = PlannedChunk(wave, plan.chunk);
    if (!chunk.data.Allocate(sink.bytes.size())) {
        return TrimOutcome::Failed;
    }
    if (!sink.bytes.empty()) {
        std::memcpy(chunk.data.Data(), sink.bytes.data(), sink.bytes.size());
    }
    chunk.size = sink.bytes.size();
    if (report != nullptr) {
        *report = plan.report;
    }
    if (tally != nullptr) {
        *tally = written;
    }
    return TrimOutcome::Done;
}
