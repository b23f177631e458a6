// What more than one file of vector passes needs: the reductions of lanes at a pass's end, the
// byte shuffles of 24-bit samples, the prefetch ahead of the loads, the gain of the narrow codings
// and the loads and stores of 16-byte groups.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>

// The lanes a pass kept in its loop, reduced once at its end: their sum, their largest.
inline std::uint64_t SumOf32(__m128i lanes) {
    std::uint32_t each[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(each), lanes);
    return std::uint64_t{each[0]} + each[1] + each[2] + each[3];
}

inline double MaxOfFloats(__m128 lanes) {
    float each[4];
    _mm_storeu_ps(each, lanes);
    return std::max(std::max(each[0], each[1]), std::max(each[2], each[3]));
}

// The byte shuffles of a group of four: sample k's three bytes go to the top of lane k, so that a
// shift right sign-extends them; and back from the low three bytes of each lane.
inline constexpr char kSpread24[16] = {-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11};
inline constexpr char kPack24[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1};

// How far ahead of its loads an AVX2 pass asks for the source: these loops outrun the processor's
// own prefetch of a file's pages, which stops at each page's end.
inline constexpr std::size_t kPrefetchBytes = 1024;

inline void Prefetch(const std::uint8_t* next) {
    _mm_prefetch(reinterpret_cast<const char*>(next + kPrefetchBytes), _MM_HINT_T0);
}

// The gain for the 8- and 16-bit codings, bounded so that no product leaves the 32-bit range and
// none needs saturating. A gain beyond 32768 already takes every sample but silence a step past its
// bound, as this one does, so the results and the clipped samples are the same.
inline double NarrowGain(double gain) {
    return std::max(std::min(gain, 32769.0), -32769.0);
}

// The samples of a run of `count` that fill whole 16-byte groups of `bytes`-wide samples.
inline std::size_t Grouped16Bytes(std::size_t count, std::size_t bytes) {
    return count / (16 / bytes) * (16 / bytes);
}

inline __m128i LoadGroup(const std::uint8_t* p, std::size_t i, std::size_t bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i * bytes));
}

inline void StoreGroup(std::uint8_t* p, std::size_t i, std::size_t bytes, __m128i group) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i * bytes), group);
}

#endif
