// The WAV writer: output naming, the RIFF size, and the file's bytes, written through a temporary
// file of its own that replaces the target only when complete.
#include "core/WaveWriter.h"

#include "core/ByteOrder.h"
#include "core/Ds64.h"
#include "core/FileService.h"
#include "core/InputChange.h"
#include "core/PathParts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The size a chunk has in the output: the planned one for the processed chunk.
std::uint64_t OutputSizeOf(const ChunkInfo& chunk, const AudioPlan* audio) {
    return audio != nullptr && &chunk == audio->chunk ? audio->NewSize() : chunk.size;
}

// The form's identifier and size field, before the size they give.
constexpr std::uint64_t kFormHeaderBytes = 8;

// 4 for "WAVE" plus every chunk's header, data and pad byte; false when that passes what the
// form's size field can hold.
bool RiffSizeOf(const WaveFile& wave, const AudioPlan* audio, std::uint64_t& riffSize) {
    const std::uint64_t largest = LargestSize(wave.form);
    riffSize = 4;
    for (const auto& chunk : wave.chunks) {
        const std::uint64_t size = OutputSizeOf(*chunk, audio);
        if (size > largest) {
            return false;
        }
        riffSize += 8 + size + (size & 1);
        if (riffSize > largest) {
            return false;
        }
    }
    return true;
}

// The output file, written through a small buffer so that chunk headers and small chunks cost no
// system call each; large writes go straight to the file. The bytes taken so far are the progress.
class OutputFile : public ByteSink {
public:
    OutputFile(const FileHandle& file, WriteProgress& progress) : file_(file), progress_(progress) {}

    bool Allocate() { return buffer_.Allocate(kBufferBytes); }

    bool Write(const std::uint8_t* data, std::size_t count) override {
        if (!Take(data, count)) {
            return false;
        }
        taken_ += count;
        progress_.Written(taken_);
        return true;
    }

    bool Flush() {
        const bool written = filled_ == 0 || fileservice::WriteExactly(file_, buffer_.Data(), filled_);
        filled_ = 0;
        return written;
    }

private:
    bool Take(const std::uint8_t* data, std::size_t count) {
        if (count > kBufferBytes - filled_) {
            if (!Flush()) {
                return false;
            }
            if (count >= kBufferBytes) {
                return fileservice::WriteExactly(file_, data, count);
            }
        }
        std::memcpy(buffer_.Data() + filled_, data, count);
        filled_ += count;
        return true;
    }

    static constexpr std::size_t kBufferBytes = std::size_t{64} << 10;
    const FileHandle& file_;
    WriteProgress& progress_;
    ByteBuffer buffer_;
    std::size_t filled_ = 0;
    std::uint64_t taken_ = 0;
};

bool IsSizeTable(const WaveFile& wave, const ChunkInfo& chunk) {
    return wave.form != RiffForm::Riff && &chunk == wave.chunks.front().get() && chunk.HeldBytes() >= ds64::kSizeFields;
}

// What one output needs besides the file list: the processed chunk, the sizes and the Stop flag.
struct OutputPlan {
    const AudioPlan* audio;
    std::uint64_t riffSize;
    // The "data" chunk whose size "ds64" holds in the 64-bit forms: the first one.
    const ChunkInfo* sizedData;
    const std::atomic<bool>& cancelRequested;
    WriteProgress& progress;
    SampleTally& written;
};

// The size field of a chunk's header. In the 64-bit forms the first "data" chunk, and any chunk
// too large for 32 bits, declare the placeholder that sends a reader to "ds64"; a later "data"
// chunk that fits declares its own size, as a reader would otherwise take the first one's.
std::uint32_t DeclaredSize(const WaveFile& wave, const ChunkInfo& chunk, std::uint64_t size, const OutputPlan& plan) {
    const bool inSizeTable = wave.form != RiffForm::Riff && (&chunk == plan.sizedData || size >= ds64::kPlaceholder);
    return inSizeTable ? ds64::kPlaceholder : static_cast<std::uint32_t>(size);
}

// The held part of the "ds64" chunk with the sizes of this output; the frame count moves with a
// trim.
TrimOutcome WriteSizeTable(const ChunkInfo& table, const OutputPlan& plan, ByteSink& out) {
    std::uint8_t fields[ds64::kSizeFields];
    std::memcpy(fields, table.data.Data(), sizeof fields);
    WriteLe64(fields + ds64::kRiffSize, plan.riffSize);
    if (plan.sizedData != nullptr) {
        WriteLe64(fields + ds64::kDataSize, OutputSizeOf(*plan.sizedData, plan.audio));
    }
    if (plan.audio != nullptr && plan.audio->report.trimmed) {
        WriteLe64(fields + ds64::kFrameCount, plan.audio->report.newFrames);
    }
    const bool written =
        out.Write(fields, sizeof fields) && out.Write(table.data.Data() + ds64::kSizeFields,
                                                      static_cast<std::size_t>(table.HeldBytes() - ds64::kSizeFields));
    return written ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

TrimOutcome WriteHeldBytes(const ChunkInfo& chunk, ByteSink& out) {
    const auto held = static_cast<std::size_t>(chunk.HeldBytes());
    return held == 0 || out.Write(chunk.data.Data(), held) ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

// The bytes of a chunk from `from` on, as they are in the input, copied a block at a time, from a
// view of the file where it can be had.
TrimOutcome CopyFromInput(const WaveFile& wave, const ChunkInfo& chunk, std::uint64_t from, ByteSink& out,
                          const std::atomic<bool>& cancelRequested) {
    if (from >= chunk.size) {
        return TrimOutcome::Done;
    }
    ByteBuffer block;
    if (!block.Allocate(static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, chunk.size - from)))) {
        return TrimOutcome::Failed;
    }
    FileView view;
    for (std::uint64_t at = from; at < chunk.size;) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Capacity(), chunk.size - at));
        const std::uint8_t* bytes = wave.ChunkBytes(chunk, at, count, view, block.Data());
        if (bytes == nullptr) {
            return TrimOutcome::ReadFailed;
        }
        if (!out.Write(bytes, count)) {
            return TrimOutcome::WriteFailed;
        }
        at += count;
    }
    return TrimOutcome::Done;
}

// The held bytes of a chunk, as the job left them, then the rest as it is in the input.
TrimOutcome WriteChunkContents(const WaveFile& wave, const ChunkInfo& chunk, const OutputPlan& plan, ByteSink& out) {
    if (plan.audio != nullptr && &chunk == plan.audio->chunk) {
        return WritePlannedAudio(wave, *plan.audio, out, plan.cancelRequested, plan.written);
    }
    const TrimOutcome held = IsSizeTable(wave, chunk) ? WriteSizeTable(chunk, plan, out) : WriteHeldBytes(chunk, out);
    return held == TrimOutcome::Done ? CopyFromInput(wave, chunk, chunk.HeldBytes(), out, plan.cancelRequested) : held;
}

TrimOutcome WriteChunk(const WaveFile& wave, const ChunkInfo& chunk, const OutputPlan& plan, ByteSink& out) {
    const std::uint64_t size = OutputSizeOf(chunk, plan.audio);
    std::uint8_t header[8];
    std::memcpy(header, chunk.id, 4);
    WriteLe32(header + 4, DeclaredSize(wave, chunk, size, plan));
    if (!out.Write(header, sizeof header)) {
        return TrimOutcome::WriteFailed;
    }
    const TrimOutcome contents = WriteChunkContents(wave, chunk, plan, out);
    if (contents != TrimOutcome::Done) {
        return contents;
    }
    static constexpr std::uint8_t kPad = 0;
    return (size & 1) == 0 || out.Write(&kPad, 1) ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

const char* FormId(RiffForm form) {
    switch (form) {
        case RiffForm::Riff:
            break;
        case RiffForm::Rf64:
            return "RF64";
        case RiffForm::Bw64:
            return "BW64";
    }
    return "RIFF";
}

TrimOutcome WriteContents(OutputFile& out, const WaveFile& wave, const OutputPlan& plan) {
    std::uint8_t header[12] = {0, 0, 0, 0, 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    std::memcpy(header, FormId(wave.form), 4);
    WriteLe32(header + 4, wave.form == RiffForm::Riff ? static_cast<std::uint32_t>(plan.riffSize) : ds64::kPlaceholder);
    if (!out.Write(header, sizeof header)) {
        return TrimOutcome::WriteFailed;
    }
    for (const auto& chunk : wave.chunks) {
        const TrimOutcome written = WriteChunk(wave, *chunk, plan, out);
        if (written != TrimOutcome::Done) {
            return written;
        }
    }
    // Outside the RIFF size, so that a reader never takes the unused space for chunks.
    const TrimOutcome unused = CopyFromInput(wave, wave.unusedSpace, 0, out, plan.cancelRequested);
    if (unused != TrimOutcome::Done) {
        return unused;
    }
    return out.Flush() ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

// Why writing the contents did not succeed; none for a Stop, which is no failure.
FileReason ContentsFailure(TrimOutcome outcome) {
    switch (outcome) {
        case TrimOutcome::Done:
        case TrimOutcome::Cancelled:
            break;
        case TrimOutcome::Failed:
            return FileReason(FileReason::Kind::OutOfMemory);
        case TrimOutcome::ReadFailed:
            return FileReason(FileReason::Kind::CannotRead);
        case TrimOutcome::WriteFailed:
            return WriteFailure();
    }
    return {};
}

// Whether an output of `bytes` fits on the file system of its folder; yes where that is unknown.
// The file it replaces stays until it is complete, so its room does not count. A margin can ask
// for far more silence than a file holds: refused here, it never fills the disk.
bool RoomFor(const Utf16Char* target, std::uint64_t bytes) {
    const Utf16String folder = FolderPartOf(target);
    std::uint64_t free = 0;
    return !fileservice::FreeSpace(folder.empty() ? Utf16FromUtf8(".").c_str() : folder.c_str(), free) || bytes <= free;
}

// Gives the complete output the identity of the file it replaces and flushes and closes it; a held
// output is only handed to the disk and stays open for its flush. False, with the reason, when
// that fails.
bool FinishOutput(FileHandle& file, const Utf16Char* target, Placing placing, FileReason& reason) {
    if (!fileservice::TakeOverIdentity(file, target)) {
        reason = WriteFailure();
        return false;
    }
    if (placing == Placing::Held) {
        fileservice::StartFlush(file);
        return true;
    }
    if (!fileservice::FlushToDisk(file) || !file.Close()) {
        reason = WriteFailure();
        return false;
    }
    return true;
}

// Puts the complete output in the target's place, or holds it to be put there later.
bool PlaceOrHold(PendingTemporary& pending, FileHandle file, const Utf16Char* target, Placing placing,
                 std::size_t order, FileReason& reason) {
    if (placing == Placing::Held) {
        if (!pending.Hold(std::move(file), target, order)) {
            reason = FileReason(FileReason::Kind::OutOfMemory);
            return false;
        }
        return true;
    }
    if (!pending.MoveIntoPlace(target)) {
        reason = WriteFailure();
        return false;
    }
    return true;
}

// Writes the whole file at a temporary path next to `target`, with the identity of the file it
// replaces, and puts it in the target's place once the input is closed, so that an output that
// replaces its own input can; not when another program changed the input meanwhile, which is
// checked last before it is closed. Nothing of it remains after a failure or a Stop, whose reason
// is taken at once, before the cleanup can change the system's answer.
bool WriteThroughTemporaryFile(const Utf16Char* target, bool replacesFile, WaveFile& wave, const OutputPlan& plan,
                               Placing placing, std::size_t order, FileReason& reason) {
    PendingTemporary& pending = PendingTemporary::Instance();
    FileHandle file = pending.Create(target, replacesFile);
    if (!file.IsOpen()) {
        reason = WriteFailure(FileReason::Kind::NoTemporaryFile);
        return false;
    }
    // The form's header before the size: 8 bytes.
    plan.progress.Begin(plan.riffSize + 8);
    OutputFile out(file, plan.progress);
    const TrimOutcome contents = out.Allocate() ? WriteContents(out, wave, plan) : TrimOutcome::Failed;
    bool written = contents == TrimOutcome::Done;
    if (!written) {
        reason = ContentsFailure(contents);
    } else {
        written = FinishOutput(file, target, placing, reason);
    }
    if (!written) {
        file.Close();
    }
    const bool stopped = !written && reason.kind == FileReason::Kind::None;
    if (!stopped) {
        reason = ExplainedByInput(wave, reason);
        written = reason.kind == FileReason::Kind::None;
    }
    wave.file.Close();
    if (written) {
        written = PlaceOrHold(pending, std::move(file), target, placing, order, reason);
    }
    if (!written) {
        file.Close();
        pending.Remove();
    }
    return written;
}

}  // namespace

bool BuildOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath, Utf16Char* out) {
    if (!GetOutputFolder(settings, out)) {
        return false;
    }
    const Utf16Char separator[] = {kPathSeparator, 0};
    const bool fits =
        Utf16Append(out, kTextCapacity, separator) && Utf16Append(out, kTextCapacity, FileNameOf(inputPath));
    if (!fits) {
        out[0] = 0;
    }
    return fits;
}

bool WriteWaveFile(ProcessingSettings& settings, const Utf16Char* inputPath, WaveFile& wave, FileReason& reason,
                   const AudioPlan* audio, SampleTally* written, Placing placing) {
    Utf16Char target[kTextCapacity] = {};
    if (!BuildOutputPath(settings, inputPath, target)) {
        reason = FileReason(FileReason::Kind::PathTooLong);
        return false;
    }
    std::uint64_t riffSize = 0;
    if (!RiffSizeOf(wave, audio, riffSize)) {
        reason = FileReason(FileReason::Kind::TooLarge);
        return false;
    }
    SampleTally unwanted;
    const OutputPlan plan{audio,
                          riffSize,
                          FirstChunk(wave.chunks, "data"),
                          settings.cancelRequested,
                          settings.progress,
                          written != nullptr ? *written : unwanted};
    const fileservice::TargetState state = fileservice::StateOfTarget(target);
    // Refused as a plain create would refuse it, before any work is done.
    if (state == fileservice::TargetState::ReadOnlyFile) {
        reason = FileReason(FileReason::Kind::ReadOnlyTarget);
        return false;
    }
    if (!RoomFor(target, kFormHeaderBytes + riffSize)) {
        reason = FileReason(FileReason::Kind::NoRoom);
        return false;
    }
    return WriteThroughTemporaryFile(target, state == fileservice::TargetState::File, wave, plan, placing,
                                     settings.outputOrder, reason);
}

std::vector<bool> AbandonWritesInProgress(const ProcessingSettings& settings, const std::vector<Utf16String>& inputs) {
    std::vector<Utf16String> targets;
    for (const Utf16String& input : inputs) {
        Utf16Char target[kTextCapacity] = {};
        BuildOutputPath(settings, input.c_str(), target);
        targets.emplace_back(target);
    }
    return PendingTemporary::Instance().Abandon(targets);
}
