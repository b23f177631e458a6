// The signal processing: volume change of the first "data" chunk and trimming of its silent
// head and tail, streamed a block at a time so that a file of any size needs little memory.
#pragma once

#include "core/ProcessingValues.h"
#include "core/SampleCoding.h"
#include "core/SampleTally.h"
#include "core/VectorLevel.h"
#include "core/WaveFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

enum class TrimOutcome {
    // Done, or nothing to do because there was nothing this routine can work on.
    Done,
    // Stopped part-way through: what was written so far must not be kept.
    Cancelled,
    // The rebuilt chunk would not fit its file's form, or memory ran short.
    Failed,
    ReadFailed,
    WriteFailed,
};

// Where a pass puts the bytes it makes, in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(const std::uint8_t* data, std::size_t count) = 0;
};

// The bytes a pass reads or writes at once: large enough that the calls cost little, small enough
// that a Stop is seen at once.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// What a trim did to the first "data" chunk, for the chunks that hold positions in it.
struct TrimReport {
    bool trimmed = false;
    std::uint64_t headFramesCut = 0;
    std::uint64_t headMarginFrames = 0;
    std::uint64_t newFrames = 0;
};

// What the job makes of the first "data" chunk: margin silence, the kept bytes scaled, margin
// silence, then the bytes after the last whole sample as they are (only when nothing was cut).
struct AudioPlan {
    const ChunkInfo* chunk = nullptr;
    SampleCoding coding = SampleCoding::None;
    double gain = 1.0;
    std::uint32_t validBits = 0xFFFFFFFFu;
    std::uint64_t headSilenceBytes = 0;
    std::uint64_t keptOffset = 0;
    std::uint64_t keptBytes = 0;
    std::uint64_t tailSilenceBytes = 0;
    std::uint64_t restBytes = 0;
    TrimReport report;

    std::uint64_t NewSize() const { return headSilenceBytes + keptBytes + tailSilenceBytes + restBytes; }
};

// A threshold in dB as a linear amplitude, 10^(dB/20), with the roundings to float that decide
// which levels count as silence.
float LinearFromDb(float db);

// Whether the job processes samples of this format: 8-, 16-, 24- and 32-bit integers, 32- and
// 64-bit floats, 8-bit A-law and µ-law, in at least one channel. Other samples are left as they
// are.
bool IsProcessedFormat(const WaveFormat& format);

// Plans the job on the first "data" chunk: every sample is multiplied by the gain, then the chunk
// is cut to the whole frames from the first one louder than the head's threshold to the last one
// louder than the tail's (a threshold of 0 dB or more keeps that end) and, when that shortened it,
// surrounded with the margins of silence. Only the silent ends are read: the head forward from the
// start, the tail backward from the end. `cancelRequested` is polled between blocks. A plan
// without a chunk leaves the file as it is.
TrimOutcome PlanVolumeAndTrim(const WaveFile& wave, const ProcessingValues& values,
                              const std::atomic<bool>& cancelRequested, AudioPlan& plan);

// Writes the planned chunk's new contents in one forward pass; `written` takes what the scaling saw
// of the kept samples.
TrimOutcome WritePlannedAudio(const WaveFile& wave, const AudioPlan& plan, ByteSink& out,
                              const std::atomic<bool>& cancelRequested, SampleTally& written);
