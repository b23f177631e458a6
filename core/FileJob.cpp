// The per-file job: read the chunk list, find what to keep of the audio, move the positions that
// other chunks hold with it, and write the file to the output folder, the audio changed on its way
// through.
#include "core/FileJob.h"

#include "core/ChunkPositions.h"
#include "core/InputChange.h"
#include "core/LevelMeasurement.h"
#include "core/LevelTarget.h"
#include "core/SampleCodings.h"
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
// What the plan does to the chunk, in whole frames.
AudioFacts PlannedFacts(const WaveFile& wave, const AudioPlan& plan, const ProcessingValues& values) {
    const WaveFormat& format = wave.format;
    // The processed codings' container widths are whole bytes.
    const std::uint64_t frameBytes = std::uint64_t{format.bitsPerSample} / 8 * format.channels;
    AudioFacts facts;
    facts.coding = plan.coding;
    facts.channels = format.channels;
    facts.sampleRate = format.sampleRate;
    facts.gain = values.gain;
    facts.framesIn = plan.chunk->size / frameBytes;
    facts.framesOut = facts.framesIn;
    const TrimReport& trim = plan.report;
    if (trim.trimmed) {
        facts.framesOut = trim.newFrames;
        facts.headCut = trim.headFramesCut;
        facts.tailCut = facts.framesIn - trim.headFramesCut - plan.keptBytes / frameBytes;
        facts.headMargin = plan.headSilenceBytes / frameBytes;
        facts.tailMargin = plan.tailSilenceBytes / frameBytes;
    }
    return facts;
}

// The peaks as levels, and the clipped count. The kept samples hold the chunk's peak before the
// gain: every cut sample lies at or below a threshold that the kept sample next to the cut passes.
// A peak needs samples: whole ones in the chunk, or written ones, margins of silence among them.
void AddLevels(const CodingRules& rules, const AudioPlan& plan, const SampleTally& written, AudioFacts& facts) {
    if (plan.chunk->size >= rules.bytes) {
        facts.peakIn = written.peakIn / rules.fullScale;
    }
    if (plan.NewSize() - plan.restBytes > 0) {
        facts.peakOut = written.peakOut / rules.fullScale;
    }
    facts.clipped = written.clipped;
}

// What the measuring pass found of the input, where the run measured it for its target.
void AddTargetLevels(const LevelTarget& target, const Levels& levels, AudioFacts& facts) {
    if (levels.loudnessMeasured) {
        facts.loudnessIn = levels.loudnessLufs;
    }
    if (target.truePeak && levels.measured) {
        facts.truePeakIn = levels.truePeak;
    }
}

FileReason RunJob(ProcessingSettings& settings, const Utf16Char* inputPath, Placing placing) {
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
    SampleTally written;
    if (!WriteWaveFile(settings, inputPath, wave, failure, plan.chunk != nullptr ? &plan : nullptr, &written,
                       placing)) {
        return failure;
    }
    settings.outputWritten = placing == Placing::AtOnce;
    settings.outputHeld = placing == Placing::Held;
    if (plan.chunk != nullptr) {
        settings.audio = PlannedFacts(wave, plan, values);
        AddLevels(*RulesOf(plan.coding), plan, written, *settings.audio);
        AddTargetLevels(settings.target, settings.levels, *settings.audio);
    }
    return NoteFor(wave, targetNote);
}

FileReason RunJobPlacingOutput(ProcessingSettings& settings, const Utf16Char* inputPath) {
    return RunJob(settings, inputPath, Placing::AtOnce);
}

FileReason RunJobHoldingOutput(ProcessingSettings& settings, const Utf16Char* inputPath) {
    return RunJob(settings, inputPath, Placing::Held);
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
    settings.outputHeld = false;
    settings.levels = Levels();
    settings.audio.reset();
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
    RunWithOutcome(RunJobPlacingOutput, settings, inputPath);
}

void ProcessFileHoldingOutput(ProcessingSettings& settings, const Utf16Char* inputPath) {
    RunWithOutcome(RunJobHoldingOutput, settings, inputPath);
}

void MeasureFile(ProcessingSettings& settings, const Utf16Char* inputPath) {
    RunWithOutcome(RunMeasurement, settings, inputPath);
}
