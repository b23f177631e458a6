// The vector scaling passes of the build's baseline and of SSSE3, and the table that chooses a
// coding's passes by instruction level, the wider ones included.
#include "core/VectorKernels.h"

#include "core/VectorLanes.h"
#include "core/VectorWideScaling.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace {

// A pass: scales the whole groups at the start of a run, adds what it saw of them to the tally, and
// returns how many samples they hold. The float passes have no bits to mask.
using GroupScaler = std::size_t (*)(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                    std::uint32_t validBits, SampleTally& tally);

// A coding's passes at one level, widest first: each takes the samples the one before left.
struct PassChain {
    GroupScaler passes[2];
};

// The passes of the codings that have any, at one level.
struct LevelPasses {
    PassChain unsigned8;
    PassChain signed16;
    PassChain signed24;
    PassChain signed32;
    PassChain float32;
    PassChain float64;
};

}  // namespace

#if defined(__SSE2__)
namespace {

// What a pass saw of its samples, kept in lanes in the loop and reduced once at its end.

// The clipped samples of a pass, counted without a branch: a compare sets a lane to all ones, -1,
// and subtracting it adds one to that lane's count. The lanes are added up once, at the pass's end.
// These count truncated 32-bit products beyond the coding's bounds.
struct ClipLanes32 {
    __m128i lowest;
    __m128i highest;
    __m128i count;

    ClipLanes32(int low, int high)
        : lowest(_mm_set1_epi32(low)), highest(_mm_set1_epi32(high)), count(_mm_setzero_si128()) {}

    void Add(__m128i truncated) {
        const __m128i beyond = _mm_or_si128(_mm_cmpgt_epi32(truncated, highest), _mm_cmpgt_epi32(lowest, truncated));
        count = _mm_sub_epi32(count, beyond);
    }
};

std::uint64_t SumOf64(__m128i lanes) {
    std::uint64_t each[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), lanes);
    return each[0] + each[1];
}

double MaxOfDoubles(__m128d lanes) {
    double each[2];
    _mm_storeu_pd(each, lanes);
    return std::max(each[0], each[1]);
}

double MinOfDoubles(__m128d lanes) {
    double each[2];
    _mm_storeu_pd(each, lanes);
    return std::min(each[0], each[1]);
}

// The largest magnitude among lanes of 8-bit samples stored offset by 128, from their extremes.
double PeakOfOffset8(__m128i highest, __m128i lowest) {
    std::uint8_t high[16];
    std::uint8_t low[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), highest);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), lowest);
    int peak = 0;
    for (int i = 0; i < 16; ++i) {
        peak = std::max(peak, std::max(high[i] - 128, 128 - low[i]));
    }
    return peak;
}

// The largest magnitude among lanes of 16-bit samples, from their extremes.
double PeakOf16(__m128i highest, __m128i lowest) {
    std::int16_t high[8];
    std::int16_t low[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), highest);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), lowest);
    int peak = 0;
    for (int i = 0; i < 8; ++i) {
        peak = std::max(peak, std::max(int{high[i]}, -int{low[i]}));
    }
    return peak;
}

// The 32-bit result's magnitude for the largest and the smallest product: truncating and clamping
// keep the order of the products, so their extremes give the results' extremes.
double PeakOfProducts32(__m128d highest, __m128d lowest) {
    const auto result = [](double product) {
        return std::abs(std::trunc(std::min(std::max(product, -2147483648.0), 2147483647.0)));
    };
    return std::max(result(MaxOfDoubles(highest)), result(MinOfDoubles(lowest)));
}

// The 24-bit samples are scaled four at a time by hand: the compiler does not vectorise their
// three-byte stride at this instruction level. The arithmetic is the scalar rule's, in double, two
// samples at a time.

// Two products truncated toward zero, clamped first to one step beyond each of the coding's bounds,
// so that a clipped result stays apart from one at the bound; the products are never NaN, so the
// vector minimum and maximum agree with std::min and std::max.
__m128i TruncateWidened24(__m128d samples, __m128d gain) {
    const __m128d product = _mm_mul_pd(samples, gain);
    const __m128d clamped = _mm_min_pd(_mm_max_pd(product, _mm_set1_pd(-8388609.0)), _mm_set1_pd(8388608.0));
    return _mm_cvttpd_epi32(clamped);
}

// Scales groups of four at the start of the run and returns how many samples they hold. Each group
// is loaded as sixteen bytes, so the groups stop short of the run's last bytes; only each group's
// own twelve bytes are written. SSSE3 is chosen at run time: the shipped program's baseline is SSE2.
__attribute__((target("ssse3"))) std::size_t ScaleGroupsOfFour24(const std::uint8_t* in, std::uint8_t* out,
                                                                 std::size_t count, double gain,
                                                                 std::uint32_t validBits, SampleTally& tally) {
    const __m128i spread = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpread24));
    const __m128i pack = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPack24));
    const __m128d gains = _mm_set1_pd(gain);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(validBits));
    const __m128i lowest = _mm_set1_epi32(-8388608);
    const __m128i highest = _mm_set1_epi32(8388607);
    __m128i clips = _mm_setzero_si128();
    // Magnitudes of 24-bit samples are exact in float.
    __m128 inPeak = _mm_setzero_ps();
    __m128 outPeak = _mm_setzero_ps();
    const std::size_t grouped = count <= 4 ? 0 : (count - 4) / 4 * 4;
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i));
        const __m128i samples = _mm_srai_epi32(_mm_shuffle_epi8(bytes, spread), 8);
        const __m128i low = TruncateWidened24(_mm_cvtepi32_pd(samples), gains);
        const __m128i high = TruncateWidened24(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), gains);
        const __m128i truncated = _mm_unpacklo_epi64(low, high);
        // A result one step past a bound is clipped, and taken back to the bound by adding its -1.
        const __m128i pastHighest = _mm_cmpgt_epi32(truncated, highest);
        const __m128i pastLowest = _mm_cmpgt_epi32(lowest, truncated);
        clips = _mm_sub_epi32(clips, _mm_or_si128(pastHighest, pastLowest));
        const __m128i scaled = _mm_sub_epi32(_mm_add_epi32(truncated, pastHighest), pastLowest);
        inPeak = _mm_max_ps(inPeak, _mm_cvtepi32_ps(_mm_abs_epi32(samples)));
        outPeak = _mm_max_ps(outPeak, _mm_cvtepi32_ps(_mm_abs_epi32(scaled)));
        const __m128i packed = _mm_shuffle_epi8(_mm_and_si128(scaled, mask), pack);
        std::uint8_t* group = out + 3 * i;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(group), packed);
        const std::int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
        std::memcpy(group + 8, &last, sizeof last);
    }
    tally.Add(SampleTally{MaxOfFloats(inPeak), MaxOfFloats(outPeak), SumOf32(clips)});
    return grouped;
}

// The other codings are scaled by hand as well: the compiler leaves the 32-bit and float loops
// scalar, and its vector code for the 8- and 16-bit ones is no faster than scalar code. Each group
// is one 16-byte load and store; the arithmetic is the scalar rule's, in double, two samples at a
// time.

// Two products truncated toward zero into the low 32-bit lanes. With `kSaturate` they are
// saturated to the 32-bit range, and only the top needs a clamp: a product below the range
// converts to the lowest 32-bit value, as the clamp would. Without it they must lie in the range
// (see NarrowGain). The narrower codings then clamp to their own range by saturating packs, which
// give the same result as clamping before the truncation because the bounds are whole numbers.
template <bool kSaturate>
__m128i Truncate(__m128d product) {
    return _mm_cvttpd_epi32(kSaturate ? _mm_min_pd(product, _mm_set1_pd(2147483647.0)) : product);
}

// Four 32-bit samples, each multiplied by the gain and truncated.
template <bool kSaturate>
__m128i ScaleFour32(__m128i samples, __m128d gain) {
    const __m128i low = Truncate<kSaturate>(_mm_mul_pd(_mm_cvtepi32_pd(samples), gain));
    const __m128i high = Truncate<kSaturate>(_mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), gain));
    return _mm_unpacklo_epi64(low, high);
}

// Eight 16-bit samples, each multiplied by a narrow gain and clamped to the 16-bit range; the
// truncated products are counted against the coding's bounds.
__m128i ScaleEight16(__m128i samples, __m128d gain, ClipLanes32& clips) {
    const __m128i low = ScaleFour32<false>(_mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16), gain);
    const __m128i high = ScaleFour32<false>(_mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16), gain);
    clips.Add(low);
    clips.Add(high);
    return _mm_packs_epi32(low, high);
}

// Sixteen 8-bit signed samples, each multiplied by a narrow gain and clamped to the 8-bit range.
__m128i ScaleSixteen8(__m128i samples, __m128d gain, ClipLanes32& clips) {
    const __m128i low = _mm_srai_epi16(_mm_unpacklo_epi8(samples, samples), 8);
    const __m128i high = _mm_srai_epi16(_mm_unpackhi_epi8(samples, samples), 8);
    return _mm_packs_epi16(ScaleEight16(low, gain, clips), ScaleEight16(high, gain, clips));
}

// Four floats, each multiplied by the gain in double and rounded back to float.
__m128 ScaleFourFloats(__m128 samples, __m128d gain) {
    const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(samples), gain));
    const __m128 high = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(samples, samples)), gain));
    return _mm_movelh_ps(low, high);
}

// The magnitudes of floats, their sign bits cleared.
__m128 AbsFloats(__m128 values) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), values);
}

__m128d AbsDoubles(__m128d values) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), values);
}

// Each of these scales the whole groups at the start of the run, adds what it saw to the tally and
// returns how many samples they hold. The peaks are kept as the lanes' extremes, or, for floats,
// the largest magnitude: a NaN lane never replaces it, as the maximum gives its second operand
// then. The unsigned 8-bit samples are signed by flipping their top bit, and unsigned again after.
std::size_t ScaleGroups8(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                         std::uint32_t validBits, SampleTally& tally) {
    const __m128d gains = _mm_set1_pd(NarrowGain(gain));
    const __m128i offset = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i mask = _mm_set1_epi8(static_cast<char>(validBits));
    ClipLanes32 clips(-128, 127);
    __m128i inHigh = offset;
    __m128i inLow = offset;
    __m128i outHigh = offset;
    __m128i outLow = offset;
    const std::size_t grouped = Grouped16Bytes(count, 1);
    for (std::size_t i = 0; i < grouped; i += 16) {
        const __m128i samples = LoadGroup(in, i, 1);
        const __m128i scaled = _mm_xor_si128(ScaleSixteen8(_mm_xor_si128(samples, offset), gains, clips), offset);
        StoreGroup(out, i, 1, _mm_and_si128(scaled, mask));
        inHigh = _mm_max_epu8(inHigh, samples);
        inLow = _mm_min_epu8(inLow, samples);
        outHigh = _mm_max_epu8(outHigh, scaled);
        outLow = _mm_min_epu8(outLow, scaled);
    }
    tally.Add(SampleTally{PeakOfOffset8(inHigh, inLow), PeakOfOffset8(outHigh, outLow), SumOf32(clips.count)});
    return grouped;
}

std::size_t ScaleGroups16(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                          std::uint32_t validBits, SampleTally& tally) {
    const __m128d gains = _mm_set1_pd(NarrowGain(gain));
    const __m128i mask = _mm_set1_epi16(static_cast<short>(validBits));
    ClipLanes32 clips(-32768, 32767);
    __m128i inHigh = _mm_setzero_si128();
    __m128i inLow = _mm_setzero_si128();
    __m128i outHigh = _mm_setzero_si128();
    __m128i outLow = _mm_setzero_si128();
    const std::size_t grouped = Grouped16Bytes(count, 2);
    for (std::size_t i = 0; i < grouped; i += 8) {
        const __m128i samples = LoadGroup(in, i, 2);
        const __m128i scaled = ScaleEight16(samples, gains, clips);
        StoreGroup(out, i, 2, _mm_and_si128(scaled, mask));
        inHigh = _mm_max_epi16(inHigh, samples);
        inLow = _mm_min_epi16(inLow, samples);
        outHigh = _mm_max_epi16(outHigh, scaled);
        outLow = _mm_min_epi16(outLow, scaled);
    }
    tally.Add(SampleTally{PeakOf16(inHigh, inLow), PeakOf16(outHigh, outLow), SumOf32(clips.count)});
    return grouped;
}

// The 32-bit samples' peaks and clips are taken from the samples and products in double, which
// the scaling has at hand: a product clips a whole step past a bound.
std::size_t ScaleGroups32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                          std::uint32_t validBits, SampleTally& tally) {
    const __m128d gains = _mm_set1_pd(gain);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(validBits));
    const __m128d pastHighest = _mm_set1_pd(2147483648.0);
    const __m128d pastLowest = _mm_set1_pd(-2147483649.0);
    __m128d inPeak = _mm_setzero_pd();
    __m128d productHigh = _mm_setzero_pd();
    __m128d productLow = _mm_setzero_pd();
    __m128i clips = _mm_setzero_si128();
    const std::size_t grouped = Grouped16Bytes(count, 4);
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128i samples = LoadGroup(in, i, 4);
        const __m128d halves[2] = {_mm_cvtepi32_pd(samples), _mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE))};
        __m128i truncated[2];
        for (int h = 0; h < 2; ++h) {
            const __m128d product = _mm_mul_pd(halves[h], gains);
            truncated[h] = Truncate<true>(product);
            inPeak = _mm_max_pd(inPeak, AbsDoubles(halves[h]));
            productHigh = _mm_max_pd(productHigh, product);
            productLow = _mm_min_pd(productLow, product);
            const __m128d beyond = _mm_or_pd(_mm_cmpge_pd(product, pastHighest), _mm_cmple_pd(product, pastLowest));
            clips = _mm_sub_epi64(clips, _mm_castpd_si128(beyond));
        }
        StoreGroup(out, i, 4, _mm_and_si128(_mm_unpacklo_epi64(truncated[0], truncated[1]), mask));
    }
    tally.Add(SampleTally{MaxOfDoubles(inPeak), PeakOfProducts32(productHigh, productLow), SumOf64(clips)});
    return grouped;
}

// A float result clips, when played or converted, where its magnitude passes 1.0.
std::size_t ScaleGroupsFloat32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t,
                               SampleTally& tally) {
    const __m128d gains = _mm_set1_pd(gain);
    const __m128 one = _mm_set1_ps(1.0f);
    __m128 inPeak = _mm_setzero_ps();
    __m128 outPeak = _mm_setzero_ps();
    __m128i clips = _mm_setzero_si128();
    const std::size_t grouped = Grouped16Bytes(count, 4);
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128 samples = _mm_castsi128_ps(LoadGroup(in, i, 4));
        const __m128 scaled = ScaleFourFloats(samples, gains);
        StoreGroup(out, i, 4, _mm_castps_si128(scaled));
        const __m128 magnitudes = AbsFloats(scaled);
        inPeak = _mm_max_ps(AbsFloats(samples), inPeak);
        outPeak = _mm_max_ps(magnitudes, outPeak);
        clips = _mm_sub_epi32(clips, _mm_castps_si128(_mm_cmpgt_ps(magnitudes, one)));
    }
    tally.Add(SampleTally{MaxOfFloats(inPeak), MaxOfFloats(outPeak), SumOf32(clips)});
    return grouped;
}

std::size_t ScaleGroupsFloat64(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain, std::uint32_t,
                               SampleTally& tally) {
    const __m128d gains = _mm_set1_pd(gain);
    const __m128d one = _mm_set1_pd(1.0);
    __m128d inPeak = _mm_setzero_pd();
    __m128d outPeak = _mm_setzero_pd();
    __m128i clips = _mm_setzero_si128();
    const std::size_t grouped = Grouped16Bytes(count, 8);
    for (std::size_t i = 0; i < grouped; i += 2) {
        const __m128d samples = _mm_castsi128_pd(LoadGroup(in, i, 8));
        const __m128d scaled = _mm_mul_pd(samples, gains);
        StoreGroup(out, i, 8, _mm_castpd_si128(scaled));
        const __m128d magnitudes = AbsDoubles(scaled);
        inPeak = _mm_max_pd(AbsDoubles(samples), inPeak);
        outPeak = _mm_max_pd(magnitudes, outPeak);
        clips = _mm_sub_epi64(clips, _mm_castpd_si128(_mm_cmpgt_pd(magnitudes, one)));
    }
    tally.Add(SampleTally{MaxOfDoubles(inPeak), MaxOfDoubles(outPeak), SumOf64(clips)});
    return grouped;
}

// AVX-512 only where its pass is built.
bool HasAvx512() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
    return false;
#endif
}

VectorLevel DetectedVectorLevel() {
    static const VectorLevel level = HasAvx512()                       ? VectorLevel::Avx512
                                     : __builtin_cpu_supports("avx2")  ? VectorLevel::Avx2
                                     : __builtin_cpu_supports("ssse3") ? VectorLevel::Ssse3
                                                                       : VectorLevel::Baseline;
    return level;
}

// The passes at each level, in the order of VectorLevel.
constexpr LevelPasses kLevelPasses[] = {
    {{ScaleGroups8}, {ScaleGroups16}, {}, {ScaleGroups32}, {ScaleGroupsFloat32}, {ScaleGroupsFloat64}},
    {{ScaleGroups8},
     {ScaleGroups16},
     {ScaleGroupsOfFour24},
     {ScaleGroups32},
     {ScaleGroupsFloat32},
     {ScaleGroupsFloat64}},
    {{ScaleGroups8},
     {ScaleGroupsOfSixteen16, ScaleGroups16},
     {ScaleGroupsOfEight24, ScaleGroupsOfFour24},
     {ScaleGroups32},
     {ScaleGroupsOfEightFloat32, ScaleGroupsFloat32},
     {ScaleGroupsFloat64}},
#if defined(__x86_64__)
    {{ScaleGroups8},
     {ScaleGroupsOfThirtyTwo16, ScaleGroups16},
     {ScaleGroupsOfEight24, ScaleGroupsOfFour24},
     {ScaleGroups32},
     {ScaleGroupsOfEightFloat32, ScaleGroupsFloat32},
     {ScaleGroupsFloat64}},
#endif
};

}  // namespace
#else
namespace {

// Without SSE2 every sample takes the scalar path.
VectorLevel DetectedVectorLevel() {
    return VectorLevel::Baseline;
}

constexpr LevelPasses kLevelPasses[3] = {};

}  // namespace
#endif

namespace {

// The level a test asked for, at most; the widest of all by default.
std::atomic<VectorLevel> levelLimit{VectorLevel::Avx512};

const LevelPasses& PassesInUse() {
    return kLevelPasses[static_cast<std::size_t>(VectorLevelInUse())];
}

const PassChain& ChainOf(const LevelPasses& passes, SampleCoding coding) {
    static constexpr PassChain kNone{};
    switch (coding) {
        case SampleCoding::Unsigned8:
            return passes.unsigned8;
        case SampleCoding::Signed16:
            return passes.signed16;
        case SampleCoding::Signed24:
            return passes.signed24;
        case SampleCoding::Signed32:
            return passes.signed32;
        case SampleCoding::Float32:
            return passes.float32;
        case SampleCoding::Float64:
            return passes.float64;
        case SampleCoding::None:
        case SampleCoding::ALaw:
        case SampleCoding::MuLaw:
            break;
    }
    return kNone;
}

}  // namespace

VectorLevel ProcessorVectorLevel() {
    return DetectedVectorLevel();
}

// The one place that chooses the level: the processor's, held to the test's limit.
VectorLevel VectorLevelInUse() {
    return std::min(DetectedVectorLevel(), levelLimit.load(std::memory_order_relaxed));
}

void LimitVectorLevel(VectorLevel level) {
    levelLimit.store(level, std::memory_order_relaxed);
}

std::size_t ScaleVectorGroups(SampleCoding coding, std::size_t sampleBytes, const std::uint8_t* in, std::uint8_t* out,
                              std::size_t count, double gain, std::uint32_t validBits, SampleTally& tally) {
    std::size_t grouped = 0;
    for (const GroupScaler pass : ChainOf(PassesInUse(), coding).passes) {
        if (pass != nullptr) {
            grouped +=
                pass(in + sampleBytes * grouped, out + sampleBytes * grouped, count - grouped, gain, validBits, tally);
        }
    }
    return grouped;
}
