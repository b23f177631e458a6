// The per-file job: read the chunk list, find what to keep of the audio, move the positions that
// other chunks hold with it, and write the file to the output folder, the audio changed on its way
// through.
#include "core/FileJob.h"

#include "core/ChunkPositions.h"
#include "core/InputChange.h"
#include "core/LevelMeasurement.h"
#include "core/LevelTarget.h"
#include "core/VolumeAndTrim.h"
#include "core/WaveFile.h"
#include "core/WaveWriter.h"

#include <exception>

namespace {

using Kind = FileReason::Kind;

// The note for samples that the job leaves as they are; none when it processes them, or when
// there are none.
FileReason UnchangedNote(const WaveFile& wave) {
    const WaveFormat& format = wave.format;
    if (FirstChunk(wave.chunks, "data") == nullptr || IsProcessedFormat(format)) {
        return {};
    }
    if (format.formatTag == 0) {
        return FileReason(Kind::UnchangedNoFormat);
    }
    if (format.channels == 0) {
        return FileReason(Kind::UnchangedNoChannels);
    }
    FileReason note(Kind::UnchangedCoding);
    note.code = format.Coding();
    note.bits = format.bitsPerSample;
    return note;
}

// The note for a file written: that its samples were left as they are, which a user needs to know
// more than why its level target was not reached, and that more than that unused space after its
// chunks was kept.
FileReason NoteFor(const WaveFile& wave, const FileReason& targetNote) {
    FileReason note = UnchangedNote(wave);
    if (note.kind == Kind::None) {
        note = targetNote;
    }
    if (note.kind == Kind::None && wave.unusedSpace.size > 0) {
        note = FileReason(Kind::KeptUnusedSpace);
        note.count = wave.unusedSpace.size;
    }
    return note;
}

// Why a pass failed, if it did: a cancelled pass is no failure, but ends the job as well.
bool PassDone(const WaveFile& wave, TrimOutcome outcome, FileReason& failure) {
    switch (outcome) {
        case TrimOutcome::Cancelled:
            failure = {};
            return false;
        case TrimOutcome::Failed:
            failure = FileReason(Kind::TooLarge);
            return false;
        case TrimOutcome::ReadFailed:
            failure = ExplainedByInput(wave, FileReason(Kind::CannotRead));
            return false;
        case TrimOutcome::Done:
        case TrimOutcome::WriteFailed:
            break;
    }
    return true;
}

bool Measure(ProcessingSettings& settings, const WaveFile& wave, FileReason& failure) {
    return PassDone(wave, MeasureLevels(wave, settings.target.truePeak, settings.cancelRequested, settings.levels),
                    failure);
}

bool Plan(const WaveFile& wave, const ProcessingValues& values, const std::atomic<bool>& cancelRequested,
          AudioPlan& plan, FileReason& failure) {
    return PassDone(wave, PlanVolumeAndTrim(wave, values, cancelRequested, plan), failure);
}

// Why the file failed, or the note for a file written; nothing for a file processed or
// cancelled. A cancelled file is not written and is no failure.
FileReason RunJob(ProcessingSettings& settings, const Utf16Char* inputPath) {
    FileReason failure;
    WaveFile wave;
    if (!wave.Read(inputPath)) {
        return ExplainedByInput(wave, wave.refusal);
    }
    if (settings.cancelRequested.load()) {
        return {};
    }
    ProcessingValues values = settings.Values();
    FileReason targetNote;
    if (settings.target.kind != LevelTarget::Kind::None) {
        if (!Measure(settings, wave, failure)) {
            return failure;
        }
        const TargetGain target = GainForTarget(settings.target, settings.levels);
        values.gain = target.gain;
        targetNote = target.note;
    }
    AudioPlan plan;
    if (!Plan(wave, values, settings.cancelRequested, plan, failure)) {
        return failure;
    }
    const TrimReport& trim = plan.report;
    if (trim.trimmed) {
        const std::int64_t shift =
            static_cast<std::int64_t>(trim.headFramesCut) - static_cast<std::int64_t>(trim.headMarginFrames);
        MoveChunkPositions(wave.chunks, FrameMove{shift, trim.newFrames});
    }
    settings.outputWritten = WriteWaveFile(settings, inputPath, wave, failure, plan.chunk != nullptr ? &plan : nullptr);
    if (!settings.outputWritten) {
        return failure;
    }
    return NoteFor(wave, targetNote);
}

// Why the file could not be measured, or the note for one without samples to measure.
FileReason RunMeasurement(ProcessingSettings& settings, const Utf16Char* inputPath) {
    FileReason failure;
    WaveFile wave;
    if (!wave.Read(inputPath)) {
        return ExplainedByInput(wave, wave.refusal);
    }
    if (!Measure(settings, wave, failure)) {
        return failure;
    }
    return settings.levels.measured ? FileReason() : FileReason(Kind::NotMeasured);
}

using Job = FileReason (*)(ProcessingSettings& settings, const Utf16Char* inputPath);

// Runs one job with its outcome left in the settings.
void RunWithOutcome(Job job, ProcessingSettings& settings, const Utf16Char* inputPath) {
    settings.errorOccurred = false;
    settings.reason = FileReason();
    settings.outputWritten = false;
    settings.levels = Levels();
    try {
        settings.reason = job(settings, inputPath);
    } catch (const std::exception&) {
        // Out of memory for the chunk list: this file fails, the run goes on.
        settings.reason = FileReason(Kind::OutOfMemory);
    }
    settings.errorOccurred = settings.reason.IsFailure();
}

}  // namespace

void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath) {
    RunWithOutcome(RunJob, settings, inputPath);
}

void MeasureFile(ProcessingSettings& settings, const Utf16Char* inputPath) {
    RunWithOutcome(RunMeasurement, settings, inputPath);
}
