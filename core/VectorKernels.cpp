// The vector passes written by hand, and the table of them by instruction level.
#include "core/VectorKernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#include <tmmintrin.h>
#endif

namespace {

// A pass: scales the whole groups at the start of a run and returns how many samples they hold.
// The float passes have no bits to mask.
using GroupScaler = std::size_t (*)(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                                    std::uint32_t validBits);

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

std::size_t ScaleGroupsFloat32(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                               std::uint32_t) {
    const __m128d gains = _mm_set1_pd(gain);
    const std::size_t grouped = Grouped16Bytes(count, 4);
    for (std::size_t i = 0; i < grouped; i += 4) {
        const __m128 scaled = ScaleFourFloats(_mm_castsi128_ps(LoadGroup(in, i, 4)), gains);
        StoreGroup(out, i, 4, _mm_castps_si128(scaled));
    }
    return grouped;
}

std::size_t ScaleGroupsFloat64(const std::uint8_t* in, std::uint8_t* out, std::size_t count, double gain,
                               std::uint32_t) {
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
                                                                      std::size_t count, double gain, std::uint32_t) {
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

VectorLevel DetectedVectorLevel() {
    static const VectorLevel level = __builtin_cpu_supports("avx2")    ? VectorLevel::Avx2
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
};

}  // namespace

std::size_t Grouped24(std::size_t count) {
    return count / 4 * 4;
}

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

bool AnyGroupOfFourLouder24(const std::uint8_t*, std::size_t, float) {
    return false;
}
#endif

namespace {

// The level a test asked for, at most; the widest of all by default.
std::atomic<VectorLevel> levelLimit{VectorLevel::Avx2};

// The one place that chooses the passes: the processor's level, held to the test's limit.
const LevelPasses& PassesInUse() {
    const VectorLevel level = std::min(DetectedVectorLevel(), levelLimit.load(std::memory_order_relaxed));
    return kLevelPasses[static_cast<std::size_t>(level)];
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

void LimitVectorLevel(VectorLevel level) {
    levelLimit.store(level, std::memory_order_relaxed);
}

std::size_t ScaleVectorGroups(SampleCoding coding, std::size_t sampleBytes, const std::uint8_t* in, std::uint8_t* out,
                              std::size_t count, double gain, std::uint32_t validBits) {
    std::size_t grouped = 0;
    for (const GroupScaler pass : ChainOf(PassesInUse(), coding).passes) {
        if (pass != nullptr) {
            grouped += pass(in + sampleBytes * grouped, out + sampleBytes * grouped, count - grouped, gain, validBits);
        }
    }
    return grouped;
}
