// libFuzzer target: arbitrary bytes as a WAV file through the reader, the volume and trim pass with
// values taken from the input, and the writer, then through the whole per-file job; whatever is
// written must read back, as the same chunks where they are known.
#include "FuzzInput.h"
#include "support/MemoryFileService.h"

#include "core/FileJob.h"
#include "support/InMemoryPass.h"
#include "core/WaveWriter.h"

#include <cstdlib>
#include <cstring>

namespace {

const Utf16String kInput = Utf16FromUtf8("/in/fuzz.wav");
const Utf16String kOutput = Utf16FromUtf8("/out/fuzz.wav");

std::uint32_t Le32(const memoryfs::Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Aborts, so that libFuzzer records the input, when a written file is not what was in memory.
void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// A chunk's bytes from `from` on, held or not (margins can make a chunk too large to be held).
memoryfs::Bytes ContentsOf(const WaveFile& wave, const ChunkInfo& chunk, std::size_t from) {
    memoryfs::Bytes bytes(chunk.size > from ? static_cast<std::size_t>(chunk.size - from) : 0);
    Require(wave.ReadChunk(chunk, from, bytes.data(), bytes.size()));
    return bytes;
}

// The chunks compare byte for byte, but for the sizes that the writer puts in the "ds64" chunk
// of the 64-bit forms.
bool SameChunks(const WaveFile& a, const WaveFile& b) {
    if (a.form != b.form || a.chunks.size() != b.chunks.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.chunks.size(); ++i) {
        const ChunkInfo& x = *a.chunks[i];
        const ChunkInfo& y = *b.chunks[i];
        const std::size_t from = i == 0 && a.form != RiffForm::Riff ? 24 : 0;
        if (!x.HasId(y.id) || x.size != y.size || ContentsOf(a, x, from) != ContentsOf(b, y, from)) {
            return false;
        }
    }
    return true;
}

std::uint64_t Le64(const memoryfs::Bytes& bytes, std::size_t at) {
    return Le32(bytes, at) | std::uint64_t{Le32(bytes, at + 4)} << 32;
}

// The RIFF size the file declares: in the header, or in the "ds64" chunk that follows it.
std::uint64_t DeclaredRiffSize(const memoryfs::Bytes& file) {
    const bool wide = std::memcmp(file.data(), "RIFF", 4) != 0;
    if (!wide) {
        return Le32(file, 4);
    }
    return file.size() >= 28 && Le32(file, 4) == 0xFFFFFFFFu ? Le64(file, 20) : 0;
}

void CheckWrittenFile(const WaveFile& wave) {
    const memoryfs::Bytes written = memoryfs::Get(kOutput);
    Require(written.size() >= 12 + wave.unusedSpace.size &&
            DeclaredRiffSize(written) == written.size() - 8 - wave.unusedSpace.size);
    WaveFile readBack;
    Require(readBack.Read(kOutput.c_str()));
    Require(SameChunks(wave, readBack));
    // The unused space after the chunks, kept as it was in the input.
    const memoryfs::Bytes input = memoryfs::Get(kInput);
    const auto unusedFrom = input.begin() + static_cast<std::ptrdiff_t>(wave.unusedSpace.offset);
    Require(ContentsOf(readBack, readBack.unusedSpace, 0) ==
            memoryfs::Bytes(unusedFrom, unusedFrom + static_cast<std::ptrdiff_t>(wave.unusedSpace.size)));
    Require(memoryfs::Files().size() == 2);
}

// The reader, the pass and the writer called one by one.
void CheckSteps(const FuzzInput& input) {
    memoryfs::Reset();
    memoryfs::Put(kInput, input.file);
    WaveFile wave;
    if (!wave.Read(kInput.c_str())) {
        return;
    }
    const std::atomic<bool> notCancelled{false};
    const TrimOutcome outcome = ApplyVolumeAndTrim(wave, input.values, notCancelled);
    for (const auto& chunk : wave.chunks) {
        Require(chunk->size <= chunk->data.Capacity());
    }
    if (outcome != TrimOutcome::Done) {
        return;
    }
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
    FileReason failure;
    if (WriteWaveFile(settings, kInput.c_str(), wave, failure)) {
        CheckWrittenFile(wave);
    } else {
        Require(memoryfs::Files().size() == 1);
    }
}

// The whole job with the same values: an error leaves no output, and anything else leaves one that
// reads back.
void CheckJob(const FuzzInput& input) {
    memoryfs::Reset();
    memoryfs::Put(kInput, input.file);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
    settings.SetValues(input.values);
    ProcessFile(settings, kInput.c_str());
    if (settings.errorOccurred) {
        Require(memoryfs::Files().size() == 1 && settings.reason.IsFailure());
        return;
    }
    WaveFile readBack;
    Require(readBack.Read(kOutput.c_str()) && memoryfs::Files().size() == 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input;
    if (SplitFuzzInput(data, size, input)) {
        CheckSteps(input);
        CheckJob(input);
    }
    return 0;
}
