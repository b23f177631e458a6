// Volume change and silence trimming of the first "data" chunk, one sample coding at a time, a
// block at a time.
#include "core/VolumeAndTrim.h"

#include "core/ByteOrder.h"
#include "core/FormatCodes.h"
#include "core/G711.h"
#include "core/HelperThread.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#include <tmmintrin.h>
#endif

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

#if defined(__SSE2__)
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

// TruncateClamped for two samples: the products are never NaN, so the vector minimum and maximum
// agree with std::min and std::max.
__m128i TruncateClamped24(__m128d samples, __m128d gain) {
    const __m128d product = _mm_mul_pd(samples, gain);
    const __m128d clamped = _mm_min_pd(_mm_max_pd(product, _mm_set1_pd(-8388608.0)), _mm_set1_pd(8388607.0));
    return _mm_cvttpd_epi32(clamped);
}

// The samples of a run of `count` that lie in whole groups of four, and go the vector way.
std::size_t Grouped24(std::size_t count) {
    return count / 4 * 4;
}

VectorLevel DetectedVectorLevel() {
    static const VectorLevel level = __builtin_cpu_supports("avx2")    ? VectorLevel::Avx2
                                     : __builtin_cpu_supports("ssse3") ? VectorLevel::Ssse3
                                                                       : VectorLevel::Baseline;
    return level;
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
                                                                 std::uint32_t validBits) {
    const __m128i spread = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpread24));
    const __m128i pack = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPack24));
    const __m128d gains = _mm_set1_pd(gain);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(validBits));
    const std::size_t grouped = count <= 4 ? 0 : (count - 4) / 4 * 4;
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * i));
        const __m128i samples = _mm_srai_epi32(_mm_shuffle_epi8(bytes, spread), 8);
        const __m128i low = TruncateClamped24(_mm_cvtepi32_pd(samples), gains);
        const __m128i high = TruncateClamped24(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), gains);
        const __m128i packed = _mm_shuffle_epi8(_mm_and_si128(_mm_unpacklo_epi64(low, high), mask), pack);
        std::uint8_t* group = out + 3 * i;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(group), packed);
        const std::int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
        std::memcpy(group + 8, &last, sizeof last);
    }
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
// time, and kept free of stack spills: the Windows x86_64 compiler cannot align them.
__attribute__((target("avx2"))) std::size_t ScaleGroupsOfEight24(const std::uint8_t* in, std::uint8_t* out,
                                                                 std::size_t count, double gain,
                                                                 std::uint32_t validBits) {
    const __m256i spread = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpread24)));
    const __m256i pack = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kPack24)));
    // The six packed lanes of the two halves, side by side.
    const __m256i together = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    const __m256d gains = _mm256_set1_pd(gain);
    const __m256d lowest = _mm256_set1_pd(-8388608.0);
    const __m256d highest = _mm256_set1_pd(8388607.0);
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(validBits));
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
        const __m128i lowScaled = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(low, lowest), highest));
        const __m128i highScaled = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(high, lowest), highest));
        const __m256i scaled = _mm256_inserti128_si256(_mm256_castsi128_si256(lowScaled), highScaled, 1);
        const __m256i packed =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_and_si256(scaled, mask), pack), together);
        std::uint8_t* group = out + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(group), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(group + 16), _mm256_extracti128_si256(packed, 1));
    }
    return grouped;
}

// Whether any sample of the whole groups of four at the start of the run is louder than
// `threshold`, by Signed24::Level: the magnitude over 8388607 in double, rounded to float.
bool AnyGroupOfFourLouder24(const std::uint8_t* p, std::size_t count, float threshold) {
    const __m128d fullScale = _mm_set1_pd(8388607.0);
    const __m128 thresholds = _mm_set1_ps(threshold);
    __m128 loud = _mm_setzero_ps();
    for (std::size_t i = 0; i < Grouped24(count); i += 4) {
        const std::uint8_t* group = p + 3 * i;
        std::int32_t last;
        std::memcpy(&last, group + 8, sizeof last);
        const __m128i samples = SpreadGroup24(
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(group)), _mm_cvtsi32_si128(last)));
        const __m128i sign = _mm_srai_epi32(samples, 31);
        const __m128i magnitudes = _mm_sub_epi32(_mm_xor_si128(samples, sign), sign);
        const __m128 low = _mm_cvtpd_ps(_mm_div_pd(_mm_cvtepi32_pd(magnitudes), fullScale));
        const __m128 high = _mm_cvtpd_ps(_mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(magnitudes, 0xEE)), fullScale));
        loud = _mm_or_ps(loud, _mm_cmpgt_ps(_mm_movelh_ps(low, high), thresholds));
    }
    return _mm_movemask_ps(loud) != 0;
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
// none needs saturating. A gain of 32768 or more already takes every sample but silence to its
// bound, as this one does.
double NarrowGain(double gain) {
    return std::max(std::min(gain, 32768.0), -32768.0);
}

// Eight 16-bit samples, each multiplied by a narrow gain and clamped to the 16-bit range.
__m128i ScaleEight16(__m128i samples, __m128d gain) {
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(samples, samples), 16);
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(samples, samples), 16);
    return _mm_packs_epi32(ScaleFour32<false>(low, gain), ScaleFour32<false>(high, gain));
}

// Sixteen 8-bit signed samples, each multiplied by a narrow gain and clamped to the 8-bit range.
__m128i ScaleSixteen8(__m128i samples, __m128d gain) {
    const __m128i low = _mm_srai_epi16(_mm_unpacklo_epi8(samples, samples), 8);
    const __m128i high = _mm_srai_epi16(_mm_unpackhi_epi8(samples, samples), 8);
    return _mm_packs_epi16(ScaleEight16(low, gain), ScaleEight16(high, gain));
}

// Four floats, each multiplied by the gain in double and rounded back to float.
__m128 ScaleFourFloats(__m128 samples, __m128d gain) {
    const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(samples), gain));
    const __m128 high = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(samples, samples)), gain));
    return _mm_movelh_ps(low, high);
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

// Each of these scales the whole groups at the start of the run and returns how many samples they
// hold. The unsigned 8-bit samples are signed by flipping their top bit, and unsigned again after.
std::size_t ScaleGroups8(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                         std::uint32_t validBits) {
    const __m128d gains = _mm_set1_pd(NarrowGain(gain));
    const __m128i offset = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i mask = _mm_set1_epi8(static_cast<char>(validBits));
    const std::size_t grouped = Grouped16Bytes(count, 1);
    for (std::size_t i = 0; i < grouped; i += 16) {
        const __m128i scaled = ScaleSixteen8(_mm_xor_si128(LoadGroup(in, i, 1), offset), gains);
        StoreGroup(out, i, 1, _mm_and_si128(_mm_xor_si128(scaled, offset), mask));
    }
    return grouped;
}

std::size_t ScaleGroups16(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                          std::uint32_t validBits) {
    const __m128d gains = _mm_set1_pd(NarrowGain(gain));
    const __m128i mask = _mm_set1_epi16(static_cast<short>(validBits));
    const std::size_t grouped = Grouped16Bytes(count, 2);
    for (std::size_t i = 0; i < grouped; i += 8) {
        StoreGroup(out, i, 2, _mm_and_si128(ScaleEight16(LoadGroup(in, i, 2), gains), mask));
    }
    return grouped;
}

std::size_t ScaleGroups32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                          std::uint32_t validBits) {
    const __m128d gains = _mm_set1_pd(gain);
    const __m128i mask = _mm_set1_epi32(static_cast<int>(validBits));
    const std::size_t grouped = Grouped16Bytes(count, 4);
    for (std::size_t i = 0; i < grouped; i += 4) {
        StoreGroup(out, i, 4, _mm_and_si128(ScaleFour32<true>(LoadGroup(in, i, 4), gains), mask));
    }
    return grouped;
}

std::size_t ScaleGroupsFloat32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain) {
    const __m128d gains = _mm_set1_pd(gain);
    const std::size_t grouped = Grouped16Bytes(count, 4);
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128 scaled = ScaleFourFloats(_mm_castsi128_ps(LoadGroup(in, i, 4)), gains);
        StoreGroup(out, i, 4, _mm_castps_si128(scaled));
    }
    return grouped;
}

std::size_t ScaleGroupsFloat64(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain) {
    const __m128d gains = _mm_set1_pd(gain);
    const std::size_t grouped = Grouped16Bytes(count, 8);
    for (std::size_t i = 0; i < grouped; i += 2) {
        const __m128d scaled = _mm_mul_pd(_mm_castsi128_pd(LoadGroup(in, i, 8)), gains);
        StoreGroup(out, i, 8, _mm_castpd_si128(scaled));
    }
    return grouped;
}

// The AVX2 forms of the 16-bit and float passes, sixteen and eight samples a group, with the same
// arithmetic as the SSE2 ones. Chosen at run time, and kept free of stack spills like the 24-bit one.
__attribute__((target("avx2"))) std::size_t ScaleGroupsOfSixteen16(const std::uint8_t* in, std::uint8_t* out,
                                                                   std::size_t count, double gain,
                                                                   std::uint32_t validBits) {
    const __m256d gains = _mm256_set1_pd(NarrowGain(gain));
    const __m256i mask = _mm256_set1_epi16(static_cast<short>(validBits));
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
        // The pack works within each half; the permutation puts the four quarters back in order.
        const __m256i packed =
            _mm256_packs_epi32(_mm256_inserti128_si256(_mm256_castsi128_si256(scaled[0]), scaled[1], 1),
                               _mm256_inserti128_si256(_mm256_castsi128_si256(scaled[2]), scaled[3], 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                            _mm256_and_si256(_mm256_permute4x64_epi64(packed, 0xD8), mask));
    }
    return grouped;
}

__attribute__((target("avx2"))) std::size_t ScaleGroupsOfEightFloat32(const std::uint8_t* in, std::uint8_t* out,
                                                                      std::size_t count, double gain) {
    const __m256d gains = _mm256_set1_pd(gain);
    const std::size_t grouped = count / 8 * 8;
    for (std::size_t i = 0; i < grouped; i += 8) {
        Prefetch(in + 4 * i);
        const __m256 samples = _mm256_loadu_ps(reinterpret_cast<const float*>(in + 4 * i));
        const __m128 low = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(samples)), gains));
        const __m128 high = _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(samples, 1)), gains));
        _mm256_storeu_ps(reinterpret_cast<float*>(out + 4 * i),
                         _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1));
    }
    return grouped;
}
#else
// Without SSE2 every sample takes the scalar path.
std::size_t Grouped24(std::size_t) {
    return 0;
}
VectorLevel DetectedVectorLevel() {
    return VectorLevel::Baseline;
}
std::size_t ScaleGroupsOfFour24(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
std::size_t ScaleGroupsOfEight24(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
bool AnyGroupOfFourLouder24(const std::uint8_t*, std::size_t, float) {
    return false;
}
std::size_t ScaleGroupsOfSixteen16(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
std::size_t ScaleGroupsOfEightFloat32(const std::uint8_t*, std::uint8_t*, std::size_t, double) {
    return 0;
}
std::size_t ScaleGroups8(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
std::size_t ScaleGroups16(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
std::size_t ScaleGroups32(const std::uint8_t*, std::uint8_t*, std::size_t, double, std::uint32_t) {
    return 0;
}
std::size_t ScaleGroupsFloat32(const std::uint8_t*, std::uint8_t*, std::size_t, double) {
    return 0;
}
std::size_t ScaleGroupsFloat64(const std::uint8_t*, std::uint8_t*, std::size_t, double) {
    return 0;
}
#endif

// The level a test asked for, at most; the widest of all by default.
std::atomic<VectorLevel> levelLimit{VectorLevel::Avx2};

VectorLevel UsedVectorLevel() {
    return std::min(DetectedVectorLevel(), levelLimit.load(std::memory_order_relaxed));
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
        for (std::size_t i = ScaleGroups8(in, out, count, gain, validBits); i < count; ++i) {
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
        std::size_t grouped =
            UsedVectorLevel() >= VectorLevel::Avx2 ? ScaleGroupsOfSixteen16(in, out, count, gain, validBits) : 0;
        grouped += ScaleGroups16(in + 2 * grouped, out + 2 * grouped, count - grouped, gain, validBits);
        for (std::size_t i = grouped; i < count; ++i) {
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
        const VectorLevel level = UsedVectorLevel();
        std::size_t grouped = level >= VectorLevel::Avx2 ? ScaleGroupsOfEight24(in, out, count, gain, validBits) : 0;
        if (level >= VectorLevel::Ssse3) {
            grouped += ScaleGroupsOfFour24(in + 3 * grouped, out + 3 * grouped, count - grouped, gain, validBits);
        }
        for (std::size_t i = grouped; i < count; ++i) {
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
        for (std::size_t i = ScaleGroups32(in, out, count, gain, validBits); i < count; ++i) {
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
        std::size_t grouped =
            UsedVectorLevel() >= VectorLevel::Avx2 ? ScaleGroupsOfEightFloat32(in, out, count, gain) : 0;
        grouped += ScaleGroupsFloat32(in + 4 * grouped, out + 4 * grouped, count - grouped, gain);
        for (std::size_t i = grouped; i < count; ++i) {
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
        for (std::size_t i = ScaleGroupsFloat64(in, out, count, gain); i < count; ++i) {
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

VectorLevel ProcessorVectorLevel() {
    return DetectedVectorLevel();
}

void LimitVectorLevel(VectorLevel level) {
    levelLimit.store(level, std::memory_order_relaxed);
}

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
