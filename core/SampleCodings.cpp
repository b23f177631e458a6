// The sample codings: each one's scalar rule, finished by the vector passes where they apply, and
// its scans for loud samples.
#include "core/SampleCodings.h"

#include "core/ByteOrder.h"
#include "core/FormatCodes.h"
#include "core/G711.h"
#include "core/VectorKernels.h"
#include "core/VectorReads.h"
#include "core/VolumeAndTrim.h"

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

// Whether the product truncated toward zero lies beyond the coding's range: a whole step past a
// bound, as the bounds are whole numbers.
unsigned Clips(double product, double lowest, double highest) {
    return (product >= highest + 1.0) | (product <= lowest - 1.0);
}

// The largest magnitudes and the clipped count of one run, kept in locals so that the loop has no
// store through a reference, and added to the pass's tally at the end.
struct RunTally {
    double peakIn = 0.0;
    double peakOut = 0.0;
    std::uint64_t clipped = 0;

    void Sample(double in, double out, unsigned clips) {
        // Written so that a NaN, which only a float has, is passed over.
        peakIn = std::abs(in) > peakIn ? std::abs(in) : peakIn;
        peakOut = std::abs(out) > peakOut ? std::abs(out) : peakOut;
        clipped += clips;
    }
    void AddTo(SampleTally& tally) const { tally.Add(SampleTally{peakIn, peakOut, clipped}); }
};

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

// Each coding knows its width, its silence byte, its full scale, how to scale a run of samples (in
// place, or from one place to another) while it tallies them, and the value of one stored sample
// against full scale, from which its level and its decoding follow. The integer codings store each
// result with only the bits of `validBits` set, so that a sample narrower than its container keeps
// its unused low bits clear.
struct Unsigned8 {
    static constexpr std::size_t kBytes = 1;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0x80;
    static constexpr double kFullScale = 128.0;

    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits, SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Unsigned8, kBytes, in, out, count, gain, validBits, tally);
             i < count; ++i) {
            const int value = in[i] - 128;
            const double product = value * gain;
            const std::int32_t scaled = TruncateClamped(product, -128.0, 127.0);
            out[i] = static_cast<std::uint8_t>((scaled + 128) & validBits);
            run.Sample(value, scaled, Clips(product, -128.0, 127.0));
        }
        run.AddTo(tally);
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return (p[i] - 128) / kFullScale; }
};

struct Signed16 {
    static constexpr std::size_t kBytes = 2;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;
    static constexpr double kFullScale = 32768.0;

    static std::int16_t Load(const std::uint8_t* p, std::size_t i) {
        return static_cast<std::int16_t>(p[2 * i] | p[2 * i + 1] << 8);
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits, SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed16, kBytes, in, out, count, gain, validBits, tally);
             i < count; ++i) {
            const std::int16_t value = Load(in, i);
            const double product = value * gain;
            const std::int32_t scaled = TruncateClamped(product, -32768.0, 32767.0);
            const auto stored = static_cast<std::uint16_t>(scaled & validBits);
            out[2 * i] = static_cast<std::uint8_t>(stored);
            out[2 * i + 1] = static_cast<std::uint8_t>(stored >> 8);
            run.Sample(value, scaled, Clips(product, -32768.0, 32767.0));
        }
        run.AddTo(tally);
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return Load(p, i) / kFullScale; }
};

struct Signed24 {
    static constexpr std::size_t kBytes = 3;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;
    static constexpr double kFullScale = 8388607.0;

    static std::int32_t Load(const std::uint8_t* p, std::size_t i) {
        const std::int32_t raw = p[3 * i] | p[3 * i + 1] << 8 | p[3 * i + 2] << 16;
        return (raw ^ 0x800000) - 0x800000;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits, SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed24, kBytes, in, out, count, gain, validBits, tally);
             i < count; ++i) {
            const std::int32_t value = Load(in, i);
            const double product = value * gain;
            const std::int32_t scaled = TruncateClamped(product, -8388608.0, 8388607.0);
            const auto stored = static_cast<std::uint32_t>(scaled) & validBits;
            out[3 * i] = static_cast<std::uint8_t>(stored);
            out[3 * i + 1] = static_cast<std::uint8_t>(stored >> 8);
            out[3 * i + 2] = static_cast<std::uint8_t>(stored >> 16);
            run.Sample(value, scaled, Clips(product, -8388608.0, 8388607.0));
        }
        run.AddTo(tally);
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return Load(p, i) / kFullScale; }
};

struct Signed32 {
    static constexpr std::size_t kBytes = 4;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = 0;
    static constexpr double kFullScale = 2147483647.0;

    static std::int32_t Load(const std::uint8_t* p, std::size_t i) { return static_cast<std::int32_t>(Load32(p, i)); }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                      std::uint32_t validBits, SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Signed32, kBytes, in, out, count, gain, validBits, tally);
             i < count; ++i) {
            const std::int32_t value = Load(in, i);
            const double product = value * gain;
            const std::int32_t scaled = TruncateClamped(product, -2147483648.0, 2147483647.0);
            Store32(out, i, static_cast<std::uint32_t>(scaled) & validBits);
            run.Sample(value, scaled, Clips(product, -2147483648.0, 2147483647.0));
        }
        run.AddTo(tally);
    }
    // In double: the magnitude of the lowest value does not fit in 32 bits.
    static double Value(const std::uint8_t* p, std::size_t i) { return Load(p, i) / kFullScale; }
};

struct Float32 {
    static constexpr std::size_t kBytes = 4;
    static constexpr bool kInteger = false;
    static constexpr std::uint8_t kSilence = 0;
    static constexpr double kFullScale = 1.0;

    static float Load(const std::uint8_t* p, std::size_t i) {
        const std::uint32_t bits = Load32(p, i);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t,
                      SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Float32, kBytes, in, out, count, gain, 0, tally);
             i < count; ++i) {
            const float original = Load(in, i);
            const auto value = static_cast<float>(original * gain);
            std::uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            Store32(out, i, bits);
            run.Sample(original, value, std::abs(value) > 1.0f);
        }
        run.AddTo(tally);
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return Load(p, i); }
};

// Products in double precision are stored as they are; only the level is rounded to float.
struct Float64 {
    static constexpr std::size_t kBytes = 8;
    static constexpr bool kInteger = false;
    static constexpr std::uint8_t kSilence = 0;
    static constexpr double kFullScale = 1.0;

    static double Load(const std::uint8_t* p, std::size_t i) {
        const std::uint64_t bits = Load64(p, i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t,
                      SampleTally& tally) {
        RunTally run;
        for (std::size_t i = ScaleVectorGroups(SampleCoding::Float64, kBytes, in, out, count, gain, 0, tally);
             i < count; ++i) {
            const double original = Load(in, i);
            const double value = original * gain;
            std::uint64_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            Store64(out, i, bits);
            run.Sample(original, value, std::abs(value) > 1.0);
        }
        run.AddTo(tally);
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return Load(p, i); }
};

// 8-bit G.711 codes, scaled and measured as the 16-bit linear values they expand to. A code whose
// scaled value is unchanged is kept as it is: µ-law has two codes for zero, and re-compressing
// would turn one into the other. `Silence`, for margins, is the code a linear zero compresses to.
template <std::int16_t (*Expand)(std::uint8_t), std::uint8_t (*Compress)(std::int32_t), std::uint8_t Silence>
struct Companded {
    static constexpr std::size_t kBytes = 1;
    static constexpr bool kInteger = true;
    static constexpr std::uint8_t kSilence = Silence;
    static constexpr double kFullScale = 32768.0;

    // A code's result depends on the code alone, so the run is a lookup in the 256 results,
    // which cost far less than one per sample; so is its tally, once the codes are counted.
    static void Scale(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t,
                      SampleTally& tally) {
        std::uint8_t result[256];
        for (int code = 0; code < 256; ++code) {
            result[code] = ScaledCode(static_cast<std::uint8_t>(code), gain);
        }
        std::uint64_t seen[256] = {};
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = result[in[i]];
            ++seen[in[i]];
        }
        RunTally run;
        for (int code = 0; code < 256; ++code) {
            if (seen[code] != 0) {
                const std::int32_t original = Expand(static_cast<std::uint8_t>(code));
                run.Sample(original, Expand(result[code]), 0);
                run.clipped += seen[code] * Clips(original * gain, -32768.0, 32767.0);
            }
        }
        run.AddTo(tally);
    }
    static std::uint8_t ScaledCode(std::uint8_t code, double gain) {
        const std::int32_t original = Expand(code);
        const std::int32_t scaled = TruncateClamped(original * gain, -32768.0, 32767.0);
        return scaled != original ? Compress(scaled) : code;
    }
    static double Value(const std::uint8_t* p, std::size_t i) { return Expand(p[i]) / kFullScale; }
};

using ALaw = Companded<ExpandALaw, CompressALaw, 0xD5>;
using MuLaw = Companded<ExpandMuLaw, CompressMuLaw, 0xFF>;

// The level of a stored sample against full scale, rounded to float as the thresholds are. std::abs,
// as mingw-w64 makes std::fabs an x87 instruction in 32-bit code, which stops vectorisation.
template <class Coding>
float Level(const std::uint8_t* p, std::size_t i) {
    return static_cast<float>(std::abs(Coding::Value(p, i)));
}

// The `count` samples from `p` as values against full scale.
template <class Coding>
void Decode(const std::uint8_t* p, std::size_t count, double* out) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = Coding::Value(p, i);
    }
}

template <>
void Decode<Signed16>(const std::uint8_t* p, std::size_t count, double* out) {
    for (std::size_t i = DecodeGroups16(p, count, out); i < count; ++i) {
        out[i] = Signed16::Value(p, i);
    }
}

template <>
void Decode<Signed24>(const std::uint8_t* p, std::size_t count, double* out) {
    for (std::size_t i = DecodeGroups24(p, count, out); i < count; ++i) {
        out[i] = Signed24::Value(p, i);
    }
}

// Whether any of the `count` samples from `p` is louder than `threshold`. The loop has no early
// exit, so that it vectorises; a NaN level is never louder.
template <class Coding>
bool AnyLouder(const std::uint8_t* p, std::size_t count, float threshold) {
    std::uint32_t loud = 0;
    for (std::size_t i = 0; i < count; ++i) {
        loud |= Level<Coding>(p, i) > threshold ? 1u : 0u;
    }
    return loud != 0;
}

template <>
bool AnyLouder<Signed24>(const std::uint8_t* p, std::size_t count, float threshold) {
    if (AnyGroupOfFourLouder24(p, count, threshold)) {
        return true;
    }
    for (std::size_t i = Grouped24(count); i < count; ++i) {
        if (Level<Signed24>(p, i) > threshold) {
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
    while (i < count && !(Level<Coding>(p, i) > threshold)) {
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
        if (Level<Coding>(p, i - 1) > threshold) {
            return i - 1;
        }
    }
    return count;
}

// The rules of one coding, from its type.
template <class Coding>
constexpr CodingRules RulesFor() {
    return CodingRules{Coding::kBytes, Coding::kSilence,  Coding::kInteger, Coding::kFullScale,
                       Coding::Scale,  FirstLoud<Coding>, LastLoud<Coding>, Decode<Coding>};
}

}  // namespace

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

const CodingRules* RulesOf(SampleCoding coding) {
    static constexpr CodingRules kUnsigned8 = RulesFor<Unsigned8>();
    static constexpr CodingRules kSigned16 = RulesFor<Signed16>();
    static constexpr CodingRules kSigned24 = RulesFor<Signed24>();
    static constexpr CodingRules kSigned32 = RulesFor<Signed32>();
    static constexpr CodingRules kFloat32 = RulesFor<Float32>();
    static constexpr CodingRules kFloat64 = RulesFor<Float64>();
    static constexpr CodingRules kALaw = RulesFor<ALaw>();
    static constexpr CodingRules kMuLaw = RulesFor<MuLaw>();
    switch (coding) {
        case SampleCoding::None:
            break;
        case SampleCoding::Unsigned8:
            return &kUnsigned8;
        case SampleCoding::Signed16:
            return &kSigned16;
        case SampleCoding::Signed24:
            return &kSigned24;
        case SampleCoding::Signed32:
            return &kSigned32;
        case SampleCoding::Float32:
            return &kFloat32;
        case SampleCoding::Float64:
            return &kFloat64;
        case SampleCoding::ALaw:
            return &kALaw;
        case SampleCoding::MuLaw:
            return &kMuLaw;
    }
    return nullptr;
}

double CodingGain(const CodingRules& rules, double gain) {
    return rules.integer ? IntegerGain(gain) : gain;
}

std::uint32_t ValidBitsMask(const WaveFormat& format, std::size_t bytes) {
    const std::size_t containerBits = 8 * bytes;
    const std::size_t valid = format.validBitsPerSample;
    if (valid == 0 || valid >= containerBits) {
        return 0xFFFFFFFFu;
    }
    return 0xFFFFFFFFu << (containerBits - valid);
}

bool IsProcessedFormat(const WaveFormat& format) {
    return CodingOf(format) != SampleCoding::None;
}
