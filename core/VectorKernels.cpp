// The vector passes written by hand, and the table of them by instruction level.
#include "core/VectorKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
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

std::uint64_t SumOf32(__m128i lanes) {
    std::uint32_t each[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), lanes);
    return std::uint64_t{each[0]} + each[1] + each[2] + each[3];
}

std::uint64_t SumOf64(__m128i lanes) {
    std::uint64_t each[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), lanes);
    return each[0] + each[1];
}

double MaxOfFloats(__m128 lanes) {
    float each[4];
    _mm_storeu_ps(each, lanes);
    return std::max(std::max(each[0], each[1]), std::max(each[2], each[3]));
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

double PeakOfUnsigned16(__m128i magnitudes) {
    std::uint16_t each[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), magnitudes);
    return *std::max_element(each, each + 8);
}

// The 24-bit samples are scaled four at a time by hand: the compiler does not vectorise their
// three-byte stride at this instruction level. The arithmetic is the scalar rule's, in double, two
// samples at a time.

// All bits of 32-bit lane `lane` set. Sample k of a group of four starts k bytes below lane k.
__m128i LaneMask(int lane) {
    return _mm_set_epi32(lane == 3 ? -1 : 0, lane == 2 ? -1 : 0, lane == 1 ? -1 : 0, lane == 0 ? -1 : 0);
}

// The four samples of a group's twelve bytes, sign-extended, one to a lane.
__m128i SpreadGroup24(__m128i group) {
    __m128i spread = _mm_and_si128(group, LaneMask(0));
    spread = _mm_or_si128(spread, _mm_and_si128(_mm_slli_si128(group, 1), LaneMask(1)));
    spread = _mm_or_si128(spread, _mm_and_si128(_mm_slli_si128(group, 2), LaneMask(2)));
    spread = _mm_or_si128(spread, _mm_and_si128(_mm_slli_si128(group, 3), LaneMask(3)));
    return _mm_srai_epi32(_mm_slli_epi32(spread, 8), 8);
}

// Two products truncated toward zero, clamped first to one step beyond each of the coding's bounds,
// so that a clipped result stays apart from one at the bound; the products are never NaN, so the
// vector minimum and maximum agree with std::min and std::max.
__m128i TruncateWidened24(__m128d samples, __m128d gain) {
    const __m128d product = _mm_mul_pd(samples, gain);
    const __m128d clamped = _mm_min_pd(_mm_max_pd(product, _mm_set1_pd(-8388609.0)), _mm_set1_pd(8388608.0));
    return _mm_cvttpd_epi32(clamped);
}

// The byte shuffles of a group of four: sample k's three bytes go to the top of lane k, so that a
// shift right sign-extends them; and back from the low three bytes of each lane.
constexpr char kSpread24[16] = {-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11};
constexpr char kPack24[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1};

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

// How far ahead of its loads an AVX2 pass asks for the source: these loops outrun the processor's
// own prefetch of a file's pages, which stops at each page's end.
constexpr std::size_t kPrefetchBytes = 1024;

void Prefetch(const std::uint8_t* next) {
    _mm_prefetch(reinterpret_cast<const char*>(next + kPrefetchBytes), _MM_HINT_T0);
}

// Scales groups of eight, two groups of four side by side in one register's halves, at the start of
// the run and returns how many samples they hold. Each half is loaded as sixteen bytes, so the
// groups stop short of the run's last bytes; each group's own 24 bytes are written. Chosen at run
// time, and kept free of aligned stack spills: the Windows x86_64 compiler cannot align them. (With
// the tally's registers the loop spills one value, which the compiler stores and reads unaligned.)
__attribute__((target("avx2"))) std::size_t ScaleGroupsOfEight24(const std::uint8_t* in, std::uint8_t* out,
                                                                 std::size_t count, double gain,
                                                                 std::uint32_t validBits, SampleTally& tally) {
    const __m256i spread = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpread24)));
    const __m256i pack = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kPack24)));
    // The six packed lanes of the two halves, side by side.
    const __m256i together = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    const __m256d gains = _mm256_set1_pd(gain);
    // As in TruncateWidened24.
    const __m256d widenedLowest = _mm256_set1_pd(-8388609.0);
    const __m256d widenedHighest = _mm256_set1_pd(8388608.0);
    const __m256i lowest = _mm256_set1_epi32(-8388608);
    const __m256i highest = _mm256_set1_epi32(8388607);
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(validBits));
    __m256i clips = _mm256_setzero_si256();
    __m256i inPeak = _mm256_setzero_si256();
    __m256i outPeak = _mm256_setzero_si256();
    const std::size_t grouped = count <= 10 ? 0 : (count - 10) / 8 * 8;
    for (std::size_t i = 0; i < grouped; i += 8) {
        const std::uint8_t* source = in + 3 * i;
        Prefetch(source);
        const __m256i bytes =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source))),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 12)), 1);
        const __m256i samples = _mm256_srai_epi32(_mm256_shuffle_epi8(bytes, spread), 8);
        const __m256d low = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(samples)), gains);
        const __m256d high = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(samples, 1)), gains);
        const __m128i lowTruncated =
            _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(low, widenedLowest), widenedHighest));
        const __m128i highTruncated =
            _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(high, widenedLowest), widenedHighest));
        const __m256i truncated = _mm256_inserti128_si256(_mm256_castsi128_si256(lowTruncated), highTruncated, 1);
        const __m256i pastHighest = _mm256_cmpgt_epi32(truncated, highest);
        const __m256i pastLowest = _mm256_cmpgt_epi32(lowest, truncated);
        clips = _mm256_sub_epi32(clips, _mm256_or_si256(pastHighest, pastLowest));
        const __m256i scaled = _mm256_sub_epi32(_mm256_add_epi32(truncated, pastHighest), pastLowest);
        inPeak = _mm256_max_epi32(inPeak, _mm256_abs_epi32(samples));
        outPeak = _mm256_max_epi32(outPeak, _mm256_abs_epi32(scaled));
        const __m256i packed =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_and_si256(scaled, mask), pack), together);
        std::uint8_t* group = out + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(group), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(group + 16), _mm256_extracti128_si256(packed, 1));
    }
    const __m128i inPeaks = _mm_max_epi32(_mm256_castsi256_si128(inPeak), _mm256_extracti128_si256(inPeak, 1));
    const __m128i outPeaks = _mm_max_epi32(_mm256_castsi256_si128(outPeak), _mm256_extracti128_si256(outPeak, 1));
    const __m128i clipCounts = _mm_add_epi32(_mm256_castsi256_si128(clips), _mm256_extracti128_si256(clips, 1));
    tally.Add(SampleTally{MaxOfFloats(_mm_cvtepi32_ps(inPeaks)), MaxOfFloats(_mm_cvtepi32_ps(outPeaks)),
                          SumOf32(clipCounts)});
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

// The gain for the 8- and 16-bit codings, bounded so that no product leaves the 32-bit range and
// none needs saturating. A gain beyond 32768 already takes every sample but silence a step past its
// bound, as this one does, so the results and the clipped samples are the same.
double NarrowGain(double gain) {
    return std::max(std::min(gain, 32769.0), -32769.0);
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

// The samples of a run of `count` that fill whole 16-byte groups of `bytes`-wide samples.
std::size_t Grouped16Bytes(std::size_t count, std::size_t bytes) {
    return count / (16 / bytes) * (16 / bytes);
}

__m128i LoadGroup(const std::uint8_t* p, std::size_t i, std::size_t bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i * bytes));
}

void StoreGroup(std::uint8_t* p, std::size_t i, std::size_t bytes, __m128i group) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i * bytes), group);
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

// The AVX2 forms of the 16-bit and float passes, sixteen and eight samples a group, with the same
// arithmetic as the SSE2 ones. Chosen at run time, and kept free of aligned stack spills like the
// 24-bit one.
// What the lanes of a 16-bit pass saw: unsigned magnitudes and clipped counts, added to the tally.
__attribute__((target("avx2"), always_inline)) inline void AddLanes16(__m256i inPeak, __m256i outPeak, __m256i clips,
                                                                      SampleTally& tally) {
    const __m128i inPeaks = _mm_max_epu16(_mm256_castsi256_si128(inPeak), _mm256_extracti128_si256(inPeak, 1));
    const __m128i outPeaks = _mm_max_epu16(_mm256_castsi256_si128(outPeak), _mm256_extracti128_si256(outPeak, 1));
    const __m128i clipCounts = _mm_add_epi32(_mm256_castsi256_si128(clips), _mm256_extracti128_si256(clips, 1));
    tally.Add(SampleTally{PeakOfUnsigned16(inPeaks), PeakOfUnsigned16(outPeaks), SumOf32(clipCounts)});
}

// A 16-bit magnitude is taken with abs, whose result for -32768 is 32768 read unsigned.
__attribute__((target("avx2"))) std::size_t ScaleGroupsOfSixteen16(const std::uint8_t* in, std::uint8_t* out,
                                                                   std::size_t count, double gain,
                                                                   std::uint32_t validBits, SampleTally& tally) {
    const __m256d gains = _mm256_set1_pd(NarrowGain(gain));
    const __m256i mask = _mm256_set1_epi16(static_cast<short>(validBits));
    const __m256i lowest = _mm256_set1_epi32(-32768);
    const __m256i highest = _mm256_set1_epi32(32767);
    __m256i clips = _mm256_setzero_si256();
    __m256i inPeak = _mm256_setzero_si256();
    __m256i outPeak = _mm256_setzero_si256();
    const std::size_t grouped = count / 16 * 16;
    for (std::size_t i = 0; i < grouped; i += 16) {
        Prefetch(in + 2 * i);
        const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
        const __m256i low = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(samples));
        const __m256i high = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(samples, 1));
        const __m128i scaled[4] = {
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(low)), gains)),
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(low, 1)), gains)),
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(high)), gains)),
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(high, 1)), gains)),
        };
        const __m256i firstHalf = _mm256_inserti128_si256(_mm256_castsi128_si256(scaled[0]), scaled[1], 1);
        const __m256i secondHalf = _mm256_inserti128_si256(_mm256_castsi128_si256(scaled[2]), scaled[3], 1);
        clips = _mm256_sub_epi32(
            clips, _mm256_or_si256(_mm256_cmpgt_epi32(firstHalf, highest), _mm256_cmpgt_epi32(lowest, firstHalf)));
        clips = _mm256_sub_epi32(
            clips, _mm256_or_si256(_mm256_cmpgt_epi32(secondHalf, highest), _mm256_cmpgt_epi32(lowest, secondHalf)));
        // The pack works within each half; the permutation puts the four quarters back in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(firstHalf, secondHalf), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_and_si256(packed, mask));
        inPeak = _mm256_max_epu16(inPeak, _mm256_abs_epi16(samples));
        outPeak = _mm256_max_epu16(outPeak, _mm256_abs_epi16(packed));
    }
    AddLanes16(inPeak, outPeak, clips, tally);
    return grouped;
}

#if defined(__x86_64__)
// GCC 12's AVX-512 header leaves the placeholder operands of its intrinsics uninitialised on
// purpose, and warns of them where they are inlined; clang knows no such warning.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Sixteen 16-bit samples widened to 32 bits, scaled as the SSE2 pass scales them, with those that
// will clip counted in their lanes of `clips`.
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i ScaledSixteen(__m512i samples, __m512d gains,
                                                                                        __m512i& clips) {
    const __m512i one = _mm512_set1_epi32(1);
    const __m256i low = _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(samples)), gains));
    const __m256i high =
        _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(samples, 1)), gains));
    const __m512i scaled = _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
    const __mmask16 clipped = _mm512_cmpgt_epi32_mask(scaled, _mm512_set1_epi32(32767)) |
                              _mm512_cmpgt_epi32_mask(_mm512_set1_epi32(-32768), scaled);
    clips = _mm512_mask_add_epi32(clips, clipped, clips, one);
    return scaled;
}

// The AVX-512 form of the 16-bit pass, thirty-two samples a group, with the same arithmetic. Only
// on 64-bit builds: there its values fit the thirty-two vector registers, where the eight of a
// 32-bit build would spill them to the stack. The pack works within each quarter; the permutation
// puts the eight eighths back in order.
__attribute__((target("avx512f,avx512bw"))) std::size_t ScaleGroupsOfThirtyTwo16(const std::uint8_t* in,
                                                                                 std::uint8_t* out, std::size_t count,
                                                                                 double gain, std::uint32_t validBits,
                                                                                 SampleTally& tally) {
    const __m512d gains = _mm512_set1_pd(NarrowGain(gain));
    const __m512i mask = _mm512_set1_epi16(static_cast<short>(validBits));
    const __m512i inOrder = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
    __m512i clips = _mm512_setzero_si512();
    __m512i inPeak = _mm512_setzero_si512();
    __m512i outPeak = _mm512_setzero_si512();
    const std::size_t grouped = count / 32 * 32;
    for (std::size_t i = 0; i < grouped; i += 32) {
        Prefetch(in + 2 * i);
        const __m512i samples = _mm512_loadu_si512(in + 2 * i);
        const __m512i low = ScaledSixteen(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(samples)), gains, clips);
        const __m512i high = ScaledSixteen(_mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(samples, 1)), gains, clips);
        const __m512i packed = _mm512_permutexvar_epi64(inOrder, _mm512_packs_epi32(low, high));
        _mm512_storeu_si512(out + 2 * i, _mm512_and_si512(packed, mask));
        inPeak = _mm512_max_epu16(inPeak, _mm512_abs_epi16(samples));
        outPeak = _mm512_max_epu16(outPeak, _mm512_abs_epi16(packed));
    }
    AddLanes16(_mm256_max_epu16(_mm512_castsi512_si256(inPeak), _mm512_extracti64x4_epi64(inPeak, 1)),
               _mm256_max_epu16(_mm512_castsi512_si256(outPeak), _mm512_extracti64x4_epi64(outPeak, 1)),
               _mm256_add_epi32(_mm512_castsi512_si256(clips), _mm512_extracti64x4_epi64(clips, 1)), tally);
    return grouped;
}

#pragma GCC diagnostic pop
#endif

__attribute__((target("avx2"))) std::size_t ScaleGroupsOfEightFloat32(const std::uint8_t* in, std::uint8_t* out,
                                                                      std::size_t count, double gain, std::uint32_t,
                                                                      SampleTally& tally) {
    const __m256d gains = _mm256_set1_pd(gain);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    __m256 inPeak = _mm256_setzero_ps();
    __m256 outPeak = _mm256_setzero_ps();
    __m256i clips = _mm256_setzero_si256();
    const std::size_t grouped = count / 8 * 8;
    for (std::size_t i = 0; i < grouped; i += 8) {
        Prefetch(in + 4 * i);
        const __m256 samples = _mm256_loadu_ps(reinterpret_cast<const float*>(in + 4 * i));
        const __m128 low = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(samples)), gains));
        const __m128 high = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(samples, 1)), gains));
        const __m256 scaled = _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
        _mm256_storeu_ps(reinterpret_cast<float*>(out + 4 * i), scaled);
        const __m256 magnitudes = _mm256_andnot_ps(sign, scaled);
        inPeak = _mm256_max_ps(_mm256_andnot_ps(sign, samples), inPeak);
        outPeak = _mm256_max_ps(magnitudes, outPeak);
        clips = _mm256_sub_epi32(clips, _mm256_castps_si256(_mm256_cmp_ps(magnitudes, one, _CMP_GT_OQ)));
    }
    const __m128 inPeaks = _mm_max_ps(_mm256_castps256_ps128(inPeak), _mm256_extractf128_ps(inPeak, 1));
    const __m128 outPeaks = _mm_max_ps(_mm256_castps256_ps128(outPeak), _mm256_extractf128_ps(outPeak, 1));
    const __m128i clipCounts = _mm_add_epi32(_mm256_castsi256_si128(clips), _mm256_extracti128_si256(clips, 1));
    tally.Add(SampleTally{MaxOfFloats(inPeaks), MaxOfFloats(outPeaks), SumOf32(clipCounts)});
    return grouped;
}

// The four samples of the twelve bytes at `group`, sign-extended, one to a lane; no byte past them
// is read.
__m128i GroupOfFour24(const std::uint8_t* group) {
    std::int32_t last;
    std::memcpy(&last, group + 8, sizeof last);
    return SpreadGroup24(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(group)), _mm_cvtsi32_si128(last)));
}

// Four 16-bit samples, sign-extended in 32-bit lanes, as values against full scale: two doubles at
// `out` and two after them. The full scale is a power of two, so that multiplying by its inverse
// gives the scalar rule's quotient exactly.
void StoreQuarter16(__m128i samples, double* out) {
    const __m128d inverse = _mm_set1_pd(1.0 / 32768.0);
    _mm_storeu_pd(out, _mm_mul_pd(_mm_cvtepi32_pd(samples), inverse));
    _mm_storeu_pd(out + 2, _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), inverse));
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

std::size_t Grouped24(std::size_t count) {
    return count / 4 * 4;
}

// The source is asked for ahead, as in the AVX2 passes: the measurement reads a file's pages once.
std::size_t DecodeGroups16(const std::uint8_t* in, std::size_t count, double* out) {
    const std::size_t grouped = Grouped16Bytes(count, 2);
    for (std::size_t i = 0; i < grouped; i += 8) {
        Prefetch(in + 2 * i);
        const __m128i samples = LoadGroup(in, i, 2);
        StoreQuarter16(_mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16), out + i);
        StoreQuarter16(_mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16), out + i + 4);
    }
    return grouped;
}

// The divisions are the scalar rule's, two at a time: the full scale is no power of two.
std::size_t DecodeGroups24(const std::uint8_t* in, std::size_t count, double* out) {
    const __m128d fullScale = _mm_set1_pd(8388607.0);
    for (std::size_t i = 0; i < Grouped24(count); i += 4) {
        Prefetch(in + 3 * i);
        const __m128i samples = GroupOfFour24(in + 3 * i);
        _mm_storeu_pd(out + i, _mm_div_pd(_mm_cvtepi32_pd(samples), fullScale));
        _mm_storeu_pd(out + i + 2, _mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), fullScale));
    }
    return Grouped24(count);
}

bool AnyGroupOfFourLouder24(const std::uint8_t* p, std::size_t count, float threshold) {
    const __m128d fullScale = _mm_set1_pd(8388607.0);
    const __m128 thresholds = _mm_set1_ps(threshold);
    __m128 loud = _mm_setzero_ps();
    for (std::size_t i = 0; i < Grouped24(count); i += 4) {
        const __m128i samples = GroupOfFour24(p + 3 * i);
        const __m128i sign = _mm_srai_epi32(samples, 31);
        const __m128i magnitudes = _mm_sub_epi32(_mm_xor_si128(samples, sign), sign);
        const __m128 low = _mm_cvtpd_ps(_mm_div_pd(_mm_cvtepi32_pd(magnitudes), fullScale));
        const __m128 high = _mm_cvtpd_ps(_mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(magnitudes, 0xEE)), fullScale));
        loud = _mm_or_ps(loud, _mm_cmpgt_ps(_mm_movelh_ps(low, high), thresholds));
    }
    return _mm_movemask_ps(loud) != 0;
}
#else
namespace {

// Without SSE2 every sample takes the scalar path.
VectorLevel DetectedVectorLevel() {
    return VectorLevel::Baseline;
}

constexpr LevelPasses kLevelPasses[3] = {};

}  // namespace

std::size_t Grouped24(std::size_t) {
    return 0;
}

std::size_t DecodeGroups16(const std::uint8_t*, std::size_t, double*) {
    return 0;
}

std::size_t DecodeGroups24(const std::uint8_t*, std::size_t, double*) {
    return 0;
}

bool AnyGroupOfFourLouder24(const std::uint8_t*, std::size_t, float) {
    return false;
}
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
