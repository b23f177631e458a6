// The volume and trim passes run on a wave held in memory, the way the job runs them on a file:
// the tests of the sample rules need no file.
#pragma once

#include "core/VolumeAndTrim.h"
#include "core/WaveFile.h"

#include <atomic>

// Plans and writes the first "data" chunk and puts the result in its place; on any outcome but
// Done the wave is left as it was. When the chunk was rebuilt, `report` (if given) says how, and
// `tally` what the writer saw of the samples it scaled.
TrimOutcome ApplyVolumeAndTrim(WaveFile& wave, const ProcessingValues& values, const std::atomic<bool>& cancelRequested,
                               TrimReport* report = nullptr, SampleTally* tally = nullptr);
