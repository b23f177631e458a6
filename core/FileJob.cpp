// The per-file job: read the file, change its volume and trim it, write it to the output folder.
#include "core/ProcessingSettings.h"

#include "core/VolumeAndTrim.h"
#include "core/WaveFile.h"
#include "core/WaveWriter.h"

#include <exception>

namespace {

// False when the file could not be read, processed or written. A cancelled file is not written
// and is no failure.
bool RunJob(ProcessingSettings& settings, const Utf16Char* inputPath) {
    WaveFile wave;
    if (!wave.Read(inputPath)) {
        return false;
    }
    if (settings.cancelRequested.load()) {
        return true;
    }
    const float headLinear = LinearFromDb(settings.headThresholdDb.load());
    const float tailLinear = LinearFromDb(settings.tailThresholdDb.load());
    const TrimOutcome outcome =
        ApplyVolumeAndTrim(wave, settings.gain.load(), headLinear, tailLinear,
                           settings.headMarginSec.load(), settings.tailMarginSec.load(),
                           settings.cancelRequested);
    switch (outcome) {
        case TrimOutcome::Cancelled:
            return true;
        case TrimOutcome::Failed:
            return false;
        case TrimOutcome::Done:
            break;
    }
    settings.outputWritten = WriteWaveFile(settings, inputPath, wave);
    return settings.outputWritten;
}

}  // namespace

void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath) {
    settings.errorOccurred = false;
    settings.outputWritten = false;
    try {
        settings.errorOccurred = !RunJob(settings, inputPath);
    } catch (const std::exception&) {
        // Out of memory for the chunk list: this file fails, the run goes on.
        settings.errorOccurred = true;
    }
}
