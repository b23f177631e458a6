// The scaling passes wider than the build's baseline, which the table of passes chooses at run time
// where the processor has AVX2 or AVX-512.
#include "core/VectorWideScaling.h"

#include "core/VectorLanes.h"

#include <algorithm>

#if defined(__SSE2__)
#include <immintrin.h>

namespace {

double PeakOfUnsigned16(__m128i magnitudes) {
    std::uint16_t each[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), magnitudes);
    return *std::max_element(each, each + 8);
}

// What the lanes of a 16-bit pass saw: unsigned magnitudes and clipped counts, added to the tally.
__attribute__((target("avx2"), always_inline)) inline void AddLanes16(__m256i inPeak, __m256i outPeak, __m256i clips,
                                                                      SampleTally& tally) {
    const __m128i inPeaks = _mm_max_epu16(_mm256_castsi256_si128(inPeak), _mm256_extracti128_si256(inPeak, 1));
    const __m128i outPeaks = _mm_max_epu16(_mm256_castsi256_si128(outPeak), _mm256_extracti128_si256(outPeak, 1));
    const __m128i clipCounts = _mm_add_epi32(_mm256_castsi256_si128(clips), _mm256_extracti128_si256(clips, 1));
    tally.Add(SampleTally{PeakOfUnsigned16(inPeaks), PeakOfUnsigned16(outPeaks), SumOf32(clipCounts)});
}

}  // namespace

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
    // As in TruncateWidened24 (VectorKernels.cpp).
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

// The AVX2 forms of the 16-bit and float passes, sixteen and eight samples a group, with the same
// arithmetic as the SSE2 ones. Chosen at run time, and kept free of aligned stack spills like the
// 24-bit one.
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

namespace {

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

}  // namespace

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

#endif
