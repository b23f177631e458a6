// What one listed file went through, as the front ends show it and the command line's report
// records it: its outcome, and what the job measured of its audio.
#pragma once

#include "core/FileReason.h"
#include "core/SampleCoding.h"
#include "core/Utf16.h"

#include <cstdint>
#include <optional>

// What the job did to the first "data" chunk of a file it processed. Frames are whole frames;
// levels are magnitudes over the full scale that the trim thresholds use.
struct AudioFacts {
    SampleCoding coding = SampleCoding::None;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint64_t framesIn = 0;
    std::uint64_t framesOut = 0;
    std::uint64_t headCut = 0;
    std::uint64_t tailCut = 0;
    std::uint64_t headMargin = 0;
    std::uint64_t tailMargin = 0;
    double gain = 1.0;
    // Of the whole chunk before the gain, and of the samples written; none without samples.
    std::optional<double> peakIn;
    std::optional<double> peakOut;
    // Written samples whose scaled value lay beyond what the coding holds.
    std::uint64_t clipped = 0;
    // Measured of the input for a level target: the integrated loudness in LUFS (-infinity below
    // the absolute gate), and with the true peak asked for, the linear true peak.
    std::optional<double> loudnessIn;
    std::optional<double> truePeakIn;
};

struct FileResult {
    enum class Status {
        Processed,
        // Written with its samples as they were, with the note that says why.
        Unchanged,
        Failed,
        // Not written because the run was stopped.
        Stopped,
    };

    Status status = Status::Processed;
    // The failure's reason or the note; of kind None when there is none.
    FileReason reason;
    // The path written; empty when none was.
    Utf16String output;
    // Only for a file whose samples the job processed.
    std::optional<AudioFacts> audio;
};
