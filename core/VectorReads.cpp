// The vector passes that only read samples: the decoding of 16- and 24-bit samples into values
// against full scale, and the scan of 24-bit samples for a loud one.
#include "core/VectorReads.h"

#include "core/VectorLanes.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

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
// Without SSE2 the codings' scalar rules read every sample.
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
