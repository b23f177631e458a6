// The per-file job: read the chunk list, find what to keep of the audio, move the positions that
// other chunks hold with it, and write the file to the output folder, the audio changed on its way
// through.
#include "core/FileJob.h"

#include "core/ChunkPositions.h"
#include "core/InputChange.h"
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
// more than that unused space after its chunks was kept; otherwise that.
FileReason NoteFor(const WaveFile& wave) {
    FileReason note = UnchangedNote(wave);
    if (note.kind == Kind::None && wave.unusedSpace.size > 0) {
        note = FileReason(Kind::KeptUnusedSpace);
        note.count = wave.unusedSpace.size;
    }
    return note;
}

// Why the file failed, or the note for a file written; nothing for a file processed or
// cancelled. A cancelled file is not written and is no failure.
FileReason RunJob(ProcessingSettings& settings, const Utf16Char* inputPath) {
    WaveFile wave;
    if (!wave.Read(inputPath)) {
        return ExplainedByInput(wave, wave.refusal);
    }
    if (settings.cancelRequested.load()) {
        return {};
    }
    AudioPlan plan;
    switch (PlanVolumeAndTrim(wave, settings.Values(), settings.cancelRequested, plan)) {
        case TrimOutcome::Cancelled:
            return {};
        case TrimOutcome::Failed:
            return FileReason(Kind::TooLarge);
        case TrimOutcome::ReadFailed:
            return ExplainedByInput(wave, FileReason(Kind::CannotRead));
        case TrimOutcome::Done:
        case TrimOutcome::WriteFailed:
            break;
    }
    const TrimReport& trim = plan.report;
    if (trim.trimmed) {
        const std::int64_t shift =
            static_cast<std::int64_t>(trim.headFramesCut) - static_cast<std::int64_t>(trim.headMarginFrames);
        MoveChunkPositions(wave.chunks, FrameMove{shift, trim.newFrames});
    }
    FileReason failure;
    settings.outputWritten = WriteWaveFile(settings, inputPath, wave, failure, plan.chunk != nullptr ? &plan : nullptr);
    if (!settings.outputWritten) {
        return failure;
    }
    return NoteFor(wave);
}

}  // namespace

void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath) {
    settings.errorOccurred = false;
    settings.reason = FileReason();
    settings.outputWritten = false;
    try {
        settings.reason = RunJob(settings, inputPath);
    } catch (const std::exception&) {
        // Out of memory for the chunk list: this file fails, the run goes on.
        settings.reason = FileReason(Kind::OutOfMemory);
    }
    settings.errorOccurred = settings.reason.IsFailure();
}
