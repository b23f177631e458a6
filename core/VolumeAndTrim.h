// The signal processing: volume change of the first "data" chunk and trimming of its silent
// head and tail.
#pragma once

#include "core/ProcessingValues.h"
#include "core/WaveFile.h"

#include <atomic>
#include <cstdint>

enum class TrimOutcome {
    // Processed, or left as it was because there was nothing this routine can work on.
    Done,
    // Stopped part-way through: the samples are half processed and must not be written.
    Cancelled,
    // The rebuilt chunk would not fit in 32 bits, or memory ran short.
    Failed,
};

// What a trim did to the first "data" chunk, for the chunks that hold positions in it.
struct TrimReport {
    bool trimmed = false;
    std::uint32_t headFramesCut = 0;
    std::uint32_t headMarginFrames = 0;
    std::uint32_t newFrames = 0;
};

// A threshold in dB as a linear amplitude, 10^(dB/20), with the roundings to float that decide
// which levels count as silence.
float LinearFromDb(float db);

// Whether ApplyVolumeAndTrim processes samples of this format: 8-, 16-, 24- and 32-bit integers,
// 32- and 64-bit floats, 8-bit A-law and µ-law, in at least one channel. Other samples are left
// as they are.
bool IsProcessedFormat(const WaveFormat& format);

// Multiplies every sample by the gain, then cuts the chunk to the whole frames from the first one
// louder than the head's threshold to the last one louder than the tail's (a threshold of 0 dB or
// more keeps that end) and, when that shortened it, surrounds it with the margins of silence.
// `cancelRequested` is polled between blocks of samples. When the chunk was rebuilt, `report`
// (if given) says how.
TrimOutcome ApplyVolumeAndTrim(WaveFile& wave, const ProcessingValues& values, const std::atomic<bool>& cancelRequested,
                               TrimReport* report = nullptr);
