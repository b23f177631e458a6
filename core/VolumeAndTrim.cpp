// Volume change and silence trimming of the first "data" chunk, one sample coding at a time, a
// block at a time.
#include "core/VolumeAndTrim.h"

#include "core/ByteOrder.h"
#include "core/FormatCodes.h"
#include "core/G711.h"
#include "core/HelperThread.h"
#include "core/VectorKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Samples the trim scans test at once: a run without a loud sample is passed over in vector
// steps, and only the run that has one is searched sample by sample.
constexpr std::size_t kSamplesPerScanRun = 256;

// The product truncated toward zero and clamped to the coding's range. The clamp comes first so
// that the conversion is always defined; the product is never NaN (see IntegerGain).
std::int32_t TruncateClamped(double product, double lowest, double highest) {
    return static_cast<std::int32_t>(std::min(std::max(product, lowest), highest));
}

// The gain for the integer codings, with the same results for every sample but no NaN product, so
// that the sample loop needs no test for one: a NaN gain stores silence as 0 does, and an infinite
// one clamps every sample but silence as the largest finite gain does.
double IntegerGain(double gain) {
    if (gain != gain) {
        return 0.0;
    }
    return std::max(std::min(gain, std::numeric_limits<double>::max()), -std::numeric_limits<double>::max());
}

// Little-endian 32-bit sample i. Indexed from the block start, which the vectoriser handles;
// a pointer to each sample would not be.
std::uint32_t Load32(const std::uint8_t* p, std::size_t i) {
    return ReadLe32(p + 4 * i);
}

void Store32(std::uint8_t* p, std::size_t i, std::uint32_t value) {
    WriteLe32(p + 4 * i, value);
}

std::uint64_t Load64(const std::uint8_t* p, std::size_t i) {
    return ReadLe64(p + 8 * i);
}

void Store64(std::uint8_t* p, std::size_t i, std::uint64_t value) {
    WriteLe64(p + 8 * i, value);
}

// Each coding knows its width, its silence byte, how to scale a run of samples (in place, or from
// one place to another) and the level of one stored sample. The integer codings store each result with only the bits of
// `validBits` set, so that a sample narrower than its container keeps its unused low bits clear.
struct Unsigned8 {
    static constexpr std::size_t kBytes = 1;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0x80;

    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Unsigned8, kBytes, in, out, count, gain, validBits);
             i < count; ++i) {
            const double product = (in[i] - 128) * gain;
            out[i] = static_cast<std::uint8_t>((TruncateClamped(product, -128.0, 127.0) + 128) & validBits);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) {
        return static_cast<float>(std::abs(p[i] - 128) * 0.0078125);
    }
};

struct Signed16 {
    static constexpr std::size_t kBytes = 2;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;

    static std::int16_t Load(const std::uint8_t* p, std::size_t i) {
        return static_cast<std::int16_t>(p[2 * i] | p[2 * i + 1] << 8);
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed16, kBytes, in, out, count, gain, validBits);
             i < count; ++i) {
            const double product = Load(in, i) * gain;
            const auto stored = static_cast<std::uint16_t>(TruncateClamped(product, -32768.0, 32767.0) & validBits);
            out[2 * i] = static_cast<std::uint8_t>(stored);
            out[2 * i + 1] = static_cast<std::uint8_t>(stored >> 8);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) {
        return static_cast<float>(std::abs(Load(p, i)) * 0.000030517578125);
    }
};

struct Signed24 {
    static constexpr std::size_t kBytes = 3;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;

    static std::int32_t Load(const std::uint8_t* p, std::size_t i) {
        const std::int32_t raw = p[3 * i] | p[3 * i + 1] << 8 | p[3 * i + 2] << 16;
        return (raw ^ 0x800000) - 0x800000;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed24, kBytes, in, out, count, gain, validBits);
             i < count; ++i) {
            const double product = Load(in, i) * gain;
            const auto stored = static_cast<std::uint32_t>(TruncateClamped(product, -8388608.0, 8388607.0)) & validBits;
            out[3 * i] = static_cast<std::uint8_t>(stored);
            out[3 * i + 1] = static_cast<std::uint8_t>(stored >> 8);
            out[3 * i + 2] = static_cast<std::uint8_t>(stored >> 16);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) {
        return static_cast<float>(std::abs(Load(p, i)) / 8388607.0);
    }
};

struct Signed32 {
    static constexpr std::size_t kBytes = 4;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;

    static std::int32_t Load(const std::uint8_t* p, std::size_t i) { return static_cast<std::int32_t>(Load32(p, i)); }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed32, kBytes, in, out, count, gain, validBits);
             i < count; ++i) {
            const double product = Load(in, i) * gain;
            Store32(out, i,
                    static_cast<std::uint32_t>(TruncateClamped(product, -2147483648.0, 2147483647.0)) & validBits);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) {
        // In double: the magnitude of the lowest value does not fit in 32 bits. std::abs, as
        // mingw-w64 makes std::fabs an x87 instruction in 32-bit code, which stops vectorisation.
        return static_cast<float>(std::abs(static_cast<double>(Load(p, i))) / 2147483647.0);
    }
};

struct Float32 {
    static constexpr std::size_t kBytes = 4;
    static constexpr bool kInteger = false;
    static constexpr std::uint8_t kSilence = 0;

    static float Load(const std::uint8_t* p, std::size_t i) {
        const std::uint32_t bits = Load32(p, i);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Float32, kBytes, in, out, count, gain, 0); i < count;
             ++i) {
            const auto value = static_cast<float>(Load(in, i) * gain);
            std::uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            Store32(out, i, bits);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) { return std::abs(Load(p, i)); }
};

// Products in double precision are stored as they are; only the level is rounded to float.
struct Float64 {
    static constexpr std::size_t kBytes = 8;
    static constexpr bool kInteger = false;
    static constexpr std::uint8_t kSilence = 0;

    static double Load(const std::uint8_t* p, std::size_t i) {
        const std::uint64_t bits = Load64(p, i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t) {
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Float64, kBytes, in, out, count, gain, 0); i < count;
             ++i) {
            const double value = Load(in, i) * gain;
            std::uint64_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            Store64(out, i, bits);
        }
    }
    static float Level(const std::uint8_t* p, std::size_t i) { return static_cast<float>(std::abs(Load(p, i))); }
};

// 8-bit G.711 codes, scaled and measured as the 16-bit linear values they expand to. A code whose
// scaled value is unchanged is kept as it is: µ-law has two codes for zero, and re-compressing
// would turn one into the other. `Silence`, for margins, is the code a linear zero compresses to.
template <std::int16_t (*Expand)(std::uint8_t), std::uint8_t (*Compress)(std::int32_t), std::uint8_t Silence>
struct Companded {
    static constexpr std::size_t kBytes = 1;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = Silence;

    // A code's result depends on the code alone, so the run is a lookup in the 256 results,
    // which cost far less than one per sample.
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t) {
        std::uint8_t result[256];
        for (int code = 0; code < 256; ++code) {
            result[code] = ScaledCode(static_cast<std::uint8_t>(code), gain);
        }
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = result[in[i]];
        }
    }
    static std::uint8_t ScaledCode(std::uint8_t code, double gain) {
        const std::int32_t original = Expand(code);
        const std::int32_t scaled = TruncateClamped(original * gain, -32768.0, 32767.0);
        return scaled != original ? Compress(scaled) : code;
    }
    static float Level(const std::uint8_t* p, std::size_t i) {
        return static_cast<float>(std::abs(Expand(p[i])) * 0.000030517578125);
    }
};

using ALaw = Companded<ExpandALaw, CompressALaw, 0xD5>;
using MuLaw = Companded<ExpandMuLaw, CompressMuLaw, 0xFF>;

// Whether any of the `count` samples from `p` is louder than `threshold`. The loop has no early
// exit, so that it vectorises; a NaN level is never louder.
template <class Coding>
bool AnyLouder(const std::uint8_t* p, std::size_t count, float threshold) {
    std::uint32_t loud = 0;
    for (std::size_t i = 0; i < count; ++i) {
        loud |= Coding::Level(p, i) > threshold ? 1u : 0u;
    }
    return loud != 0;
}

template <>
bool AnyLouder<Signed24>(const std::uint8_t* p, std::size_t count, float threshold) {
    if (AnyGroupOfFourLouder24(p, count, threshold)) {
        return true;
    }
    for (std::size_t i = Grouped24(count); i < count; ++i) {
        if (Signed24::Level(p, i) > threshold) {
            return true;
        }
    }
    return false;
}

// Index of the first of the `count` samples from `p` louder than `threshold`, or `count` if none.
template <class Coding>
std::size_t FirstLoud(const std::uint8_t* p, std::size_t count, float threshold) {
    std::size_t i = 0;
    while (i < count) {
        const std::size_t run = std::min(kSamplesPerScanRun, count - i);
        if (AnyLouder<Coding>(p + i * Coding::kBytes, run, threshold)) {
            break;
        }
        i += run;
    }
    while (i < count && !(Coding::Level(p, i) > threshold)) {
        ++i;
    }
    return i;
}

// Index of the last of the `count` samples from `p` louder than `threshold`, or `count` if none.
template <class Coding>
std::size_t LastLoud(const std::uint8_t* p, std::size_t count, float threshold) {
    std::size_t end = count;
    while (end > 0) {
        const std::size_t run = std::min(kSamplesPerScanRun, end);
        if (AnyLouder<Coding>(p + (end - run) * Coding::kBytes, run, threshold)) {
            break;
        }
        end -= run;
    }
    for (std::size_t i = end; i > 0; --i) {
        if (Coding::Level(p, i - 1) > threshold) {
            return i - 1;
        }
    }
    return count;
}

// The bits a stored sample may have set: all of them, unless the format declares fewer valid
// bits than the container holds.
std::uint32_t ValidBitsMask(const WaveFormat& format, std::size_t bytes) {
    const std::size_t containerBits = 8 * bytes;
    const std::size_t valid = format.validBitsPerSample;
    if (valid == 0 || valid >= containerBits) {
        return 0xFFFFFFFFu;
    }
    return 0xFFFFFFFFu << (containerBits - valid);
}

// Whole frames of silence for a margin. Negative and NaN margins add none; false when the
// margin alone could not fit in a chunk. The byte rate is only a declared average: where it
// disagrees with the sample rate, the sample rate says how many frames a second holds.
bool MarginFrames(const WaveFormat& format, std::size_t frameBytes, float marginSec, std::uint64_t& frames) {
    const bool ratesAgree = std::uint64_t{format.sampleRate} * format.blockAlign == format.byteRate;
    const double exact = ratesAgree ? static_cast<double>(static_cast<float>(format.byteRate)) * marginSec /
                                          static_cast<double>(static_cast<float>(frameBytes))
                                    : static_cast<double>(format.sampleRate) * marginSec;
    frames = 0;
    if (!(exact > 0.0)) {
        return true;
    }
    if (exact >= 4294967296.0) {
        return false;
    }
    frames = static_cast<std::uint64_t>(exact);
    return true;
}

// The chunk's samples as the passes see them: whole samples, of which the first `framedBytes`
// form whole frames; the bytes of a last partial sample are no sample.
struct AudioShape {
    std::size_t channels;
    std::size_t frameBytes;
    std::uint64_t sampleBytes;
    std::uint64_t framedBytes;
};

template <class Coding>
AudioShape ShapeOf(const WaveFormat& format, std::uint64_t chunkBytes) {
    const std::size_t frameBytes = Coding::kBytes * format.channels;
    return AudioShape{format.channels, frameBytes, chunkBytes / Coding::kBytes * Coding::kBytes,
                      chunkBytes / frameBytes * frameBytes};
}

// A pass's buffer: at most a block of whole frames, and no larger than the bytes it serves, so
// that a short file costs a short buffer. Any frame fits in a block. The bytes a block is made from
// are viewed where they can be, so that the samples are scaled straight from the system's cache.
class Block {
public:
    // The blocks of a pass share one view of the file.
    explicit Block(FileView& view) : view_(&view) {}

    bool Allocate(std::size_t frameBytes, std::uint64_t servedBytes) {
        size_ = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes / frameBytes * frameBytes, servedBytes));
        return buffer_.Allocate(size_);
    }
    std::uint8_t* Data() { return buffer_.Data(); }
    std::size_t Size() const { return size_; }

    const std::uint8_t* Source(const WaveFile& wave, const ChunkInfo& chunk, std::uint64_t at, std::size_t count) {
        return wave.ChunkBytes(chunk, at, count, *view_, buffer_.Data());
    }

private:
    ByteBuffer buffer_;
    std::size_t size_ = 0;
    FileView* view_;
};

// Puts `count` bytes of the planned chunk from `at` on into `block`, their samples scaled.
template <class Coding>
bool ReadScaled(const WaveFile& wave, const AudioPlan& plan, std::uint64_t at, std::size_t count, Block& block) {
    const std::uint8_t* source = block.Source(wave, *plan.chunk, at, count);
    if (source == nullptr) {
        return false;
    }
    Coding::Scale(source, block.Data(), count / Coding::kBytes, plan.gain, plan.validBits);
    return true;
}

// The first framed sample louder than `threshold` after the gain, scanning forward a block at a
// time; `found` stays past the last sample when there is none.
template <class Coding>
TrimOutcome FindFirstLoud(const WaveFile& wave, const AudioPlan& plan, const AudioShape& shape, float threshold,
                          Block& block, const std::atomic<bool>& cancelRequested, std::uint64_t& found) {
    for (std::uint64_t at = 0; at < shape.framedBytes; at += block.Size()) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), shape.framedBytes - at));
        if (!ReadScaled<Coding>(wave, plan, at, count, block)) {
            return TrimOutcome::ReadFailed;
        }
        const std::size_t samples = count / Coding::kBytes;
        const std::size_t i = FirstLoud<Coding>(block.Data(), samples, threshold);
        if (i < samples) {
            found = at / Coding::kBytes + i;
            return TrimOutcome::Done;
        }
    }
    return TrimOutcome::Done;
}

// The last framed sample louder than `threshold` after the gain, scanning backward from the end a
// block of whole frames at a time; `found` is left as it was when there is none.
template <class Coding>
TrimOutcome FindLastLoud(const WaveFile& wave, const AudioPlan& plan, const AudioShape& shape, float threshold,
                         Block& block, const std::atomic<bool>& cancelRequested, std::uint64_t& found) {
    std::size_t count = 0;
    for (std::uint64_t end = shape.framedBytes; end > 0; end -= count) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), end));
        if (!ReadScaled<Coding>(wave, plan, end - count, count, block)) {
            return TrimOutcome::ReadFailed;
        }
        const std::size_t samples = count / Coding::kBytes;
        const std::size_t i = LastLoud<Coding>(block.Data(), samples, threshold);
        if (i < samples) {
            found = (end - count) / Coding::kBytes + i;
            return TrimOutcome::Done;
        }
    }
    return TrimOutcome::Done;
}

// The kept whole frames, [first, end).
struct FrameRange {
    std::uint64_t first;
    std::uint64_t end;
};

// A threshold of 1.0 or more keeps its end; so does one that no sample exceeds. When no sample
// passed the head's threshold, none passes a tail threshold as high, and the tail is not read.
template <class Coding>
TrimOutcome FindKeptFrames(const WaveFile& wave, const AudioPlan& plan, const AudioShape& shape, float headLinear,
                           float tailLinear, const std::atomic<bool>& cancelRequested, FrameRange& kept) {
    const std::uint64_t framedSamples = shape.framedBytes / Coding::kBytes;
    FileView view;
    Block block(view);
    if (!block.Allocate(shape.frameBytes, shape.framedBytes)) {
        return TrimOutcome::Failed;
    }
    std::uint64_t head = framedSamples;
    if (headLinear < 1.0f) {
        const TrimOutcome outcome = FindFirstLoud<Coding>(wave, plan, shape, headLinear, block, cancelRequested, head);
        if (outcome != TrimOutcome::Done) {
            return outcome;
        }
        if (head < framedSamples) {
            kept.first = head / shape.channels;
        } else if (tailLinear >= headLinear) {
            return TrimOutcome::Done;
        }
    }
    std::uint64_t tail = framedSamples;
    if (tailLinear < 1.0f) {
        const TrimOutcome outcome = FindLastLoud<Coding>(wave, plan, shape, tailLinear, block, cancelRequested, tail);
        if (outcome != TrimOutcome::Done) {
            return outcome;
        }
        if (tail < framedSamples) {
            kept.end = tail / shape.channels + 1;
        }
    }
    return TrimOutcome::Done;
}

// The largest chunk the file's form can declare.
std::uint64_t LargestChunk(RiffForm form) {
    return form == RiffForm::Riff ? std::numeric_limits<std::uint32_t>::max()
                                  : std::numeric_limits<std::uint64_t>::max();
}

template <class Coding>
TrimOutcome Plan(const WaveFile& wave, const ProcessingValues& values, const std::atomic<bool>& cancelRequested,
                 AudioPlan& plan) {
    const WaveFormat& format = wave.format;
    const AudioShape shape = ShapeOf<Coding>(format, plan.chunk->size);
    plan.gain = Coding::kInteger ? IntegerGain(values.gain) : values.gain;
    plan.validBits = ValidBitsMask(format, Coding::kBytes);
    plan.keptBytes = shape.sampleBytes;
    plan.restBytes = plan.chunk->size - shape.sampleBytes;
    const std::uint64_t frames = shape.framedBytes / shape.frameBytes;
    FrameRange kept{0, frames};
    const TrimOutcome found = FindKeptFrames<Coding>(wave, plan, shape, LinearFromDb(values.head.thresholdDb),
                                                     LinearFromDb(values.tail.thresholdDb), cancelRequested, kept);
    if (found != TrimOutcome::Done || (kept.first == 0 && kept.end == frames)) {
        // Nothing cut: a partial last frame stays, and no margins are added.
        return found;
    }
    std::uint64_t headFrames = 0;
    std::uint64_t tailFrames = 0;
    if (!MarginFrames(format, shape.frameBytes, values.head.marginSec, headFrames) ||
        !MarginFrames(format, shape.frameBytes, values.tail.marginSec, tailFrames)) {
        return TrimOutcome::Failed;
    }
    plan.headSilenceBytes = headFrames * shape.frameBytes;
    plan.keptOffset = kept.first * shape.frameBytes;
    plan.keptBytes = (kept.end - kept.first) * shape.frameBytes;
    plan.tailSilenceBytes = tailFrames * shape.frameBytes;
    plan.restBytes = 0;
    if (plan.NewSize() > LargestChunk(wave.form)) {
        return TrimOutcome::Failed;
    }
    plan.report = TrimReport{true, kept.first, headFrames, plan.NewSize() / shape.frameBytes};
    return TrimOutcome::Done;
}

// `bytes` of the coding's silence, written from a block filled with it.
TrimOutcome WriteSilence(std::uint64_t bytes, std::uint8_t silence, Block& block, ByteSink& out,
                         const std::atomic<bool>& cancelRequested) {
    if (bytes == 0) {
        return TrimOutcome::Done;
    }
    std::memset(block.Data(), silence, block.Size());
    for (std::uint64_t left = bytes; left > 0;) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), left));
        if (!out.Write(block.Data(), count)) {
            return TrimOutcome::WriteFailed;
        }
        left -= count;
    }
    return TrimOutcome::Done;
}

// The kept bytes from `at` on that one block holds.
std::size_t KeptSpan(const AudioPlan& plan, const Block& block, std::uint64_t at) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), plan.keptBytes - at));
}

// The kept frames, scaled a block at a time. Each block after the first is scaled on the helper
// thread while the one before is written, so that the arithmetic and the write's copy run on two
// processors; the bytes themselves are viewed or read on this thread, as every file operation is.
template <class Coding>
TrimOutcome WriteKeptScaled(const WaveFile& wave, const AudioPlan& plan, Block (&blocks)[2], ByteSink& out,
                            const std::atomic<bool>& cancelRequested) {
    if (plan.keptBytes == 0) {
        return TrimOutcome::Done;
    }
    std::size_t count = KeptSpan(plan, blocks[0], 0);
    if (!ReadScaled<Coding>(wave, plan, plan.keptOffset, count, blocks[0])) {
        return TrimOutcome::ReadFailed;
    }
    HelperThread helper;
    struct {
        const std::uint8_t* source;
        std::uint8_t* block;
        std::size_t samples;
    } next{};
    for (std::uint64_t at = 0, current = 0; at < plan.keptBytes; current ^= 1) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        Block& following = blocks[current ^ 1];
        const std::uint64_t nextAt = at + count;
        const std::size_t nextCount = nextAt < plan.keptBytes ? KeptSpan(plan, following, nextAt) : 0;
        if (nextCount > 0) {
            next = {following.Source(wave, *plan.chunk, plan.keptOffset + nextAt, nextCount), following.Data(),
                    nextCount / Coding::kBytes};
            if (next.source == nullptr) {
                return TrimOutcome::ReadFailed;
            }
            helper.Start(
                [&next, &plan] { Coding::Scale(next.source, next.block, next.samples, plan.gain, plan.validBits); });
        }
        const bool written = out.Write(blocks[current].Data(), count);
        helper.Wait();
        if (!written) {
            return TrimOutcome::WriteFailed;
        }
        at = nextAt;
        count = nextCount;
    }
    return TrimOutcome::Done;
}

// The bytes after the last whole sample, fewer than a sample's, as they are.
TrimOutcome WriteRest(const WaveFile& wave, const AudioPlan& plan, ByteSink& out) {
    std::uint8_t rest[8];
    const auto count = static_cast<std::size_t>(plan.restBytes);
    if (!wave.ReadChunk(*plan.chunk, plan.keptOffset + plan.keptBytes, rest, count)) {
        return TrimOutcome::ReadFailed;
    }
    return out.Write(rest, count) ? TrimOutcome::Done : TrimOutcome::WriteFailed;
}

template <class Coding>
TrimOutcome Write(const WaveFile& wave, const AudioPlan& plan, ByteSink& out,
                  const std::atomic<bool>& cancelRequested) {
    FileView view;
    Block blocks[2] = {Block(view), Block(view)};
    const std::size_t frameBytes = Coding::kBytes * wave.format.channels;
    const std::uint64_t served = std::max(plan.chunk->size, plan.NewSize());
    if (!blocks[0].Allocate(frameBytes, served) || !blocks[1].Allocate(frameBytes, served)) {
        return TrimOutcome::Failed;
    }
    TrimOutcome outcome = WriteSilence(plan.headSilenceBytes, Coding::kSilence, blocks[0], out, cancelRequested);
    if (outcome == TrimOutcome::Done) {
        outcome = WriteKeptScaled<Coding>(wave, plan, blocks, out, cancelRequested);
    }
    if (outcome == TrimOutcome::Done) {
        outcome = WriteSilence(plan.tailSilenceBytes, Coding::kSilence, blocks[0], out, cancelRequested);
    }
    return outcome == TrimOutcome::Done ? WriteRest(wave, plan, out) : outcome;
}

// The coding of the samples, by the format's coding and its container width.
SampleCoding CodingOf(const WaveFormat& format) {
    if (format.channels == 0) {
        return SampleCoding::None;
    }
    const std::uint16_t bits = format.bitsPerSample;
    switch (format.Coding()) {
        case formatcode::kIntegerPcm:
            switch (bits) {
                case 8:
                    return SampleCoding::Unsigned8;
                case 16:
                    return SampleCoding::Signed16;
                case 24:
                    return SampleCoding::Signed24;
                case 32:
                    return SampleCoding::Signed32;
                default:
                    return SampleCoding::None;
            }
        case formatcode::kIeeeFloat:
            return bits == 32 ? SampleCoding::Float32 : bits == 64 ? SampleCoding::Float64 : SampleCoding::None;
        case formatcode::kALaw:
            return bits == 8 ? SampleCoding::ALaw : SampleCoding::None;
        case formatcode::kMuLaw:
            return bits == 8 ? SampleCoding::MuLaw : SampleCoding::None;
        default:
            return SampleCoding::None;
    }
}

// Runs `pass` with a value of the coding's type, so that one template serves every coding.
template <class Pass>
TrimOutcome WithCoding(SampleCoding coding, Pass pass) {
    switch (coding) {
        case SampleCoding::None:
            break;
        case SampleCoding::Unsigned8:
            return pass(Unsigned8{});
        case SampleCoding::Signed16:
            return pass(Signed16{});
        case SampleCoding::Signed24:
            return pass(Signed24{});
        case SampleCoding::Signed32:
            return pass(Signed32{});
        case SampleCoding::Float32:
            return pass(Float32{});
        case SampleCoding::Float64:
            return pass(Float64{});
        case SampleCoding::ALaw:
            return pass(ALaw{});
        case SampleCoding::MuLaw:
            return pass(MuLaw{});
    }
    return TrimOutcome::Done;
}

}  // namespace

float LinearFromDb(float db) {
    const auto exponent = static_cast<float>(db / 20.0);
    return static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
}

bool IsProcessedFormat(const WaveFormat& format) {
    return CodingOf(format) != SampleCoding::None;
}

TrimOutcome PlanVolumeAndTrim(const WaveFile& wave, const ProcessingValues& values,
                              const std::atomic<bool>& cancelRequested, AudioPlan& plan) {
    plan = AudioPlan{};
    const SampleCoding coding = CodingOf(wave.format);
    const ChunkInfo* chunk = FirstChunk(wave.chunks, "data");
    if (chunk == nullptr || coding == SampleCoding::None) {
        return TrimOutcome::Done;
    }
    plan.chunk = chunk;
    plan.coding = coding;
    return WithCoding(coding, [&](auto c) { return Plan<decltype(c)>(wave, values, cancelRequested, plan); });
}

TrimOutcome WritePlannedAudio(const WaveFile& wave, const AudioPlan& plan, ByteSink& out,
                              const std::atomic<bool>& cancelRequested) {
    return WithCoding(plan.coding, [&](auto c) { return Write<decltype(c)>(wave, plan, out, cancelRequested); });
}
