#pragma once
// What the palette's mix in lanes does to 8 points at a time in 32-bit
// integer lanes, whatever its width for doubles: the palette's rule on the
// counts and on the whole numbers below the values, and the encoding of the
// mixed linear values. Included by the translation units built for AVX2 and
// for AVX-512F, each keeping its own copy (internal linkage), so that no
// linker ever picks the other instruction set's.
#include <immintrin.h>

#include <cstdint>

#include "colour/display_mapping.h"

namespace qarn {
namespace {

// PaletteRule's Shown and Index, 8 lanes at a time.
struct RuleLanes {
    explicit RuleLanes(const PaletteRule& rule)
        : mask(_mm256_set1_epi32(static_cast<int>(rule.mask))),
          shift(_mm256_set1_epi32(static_cast<int>(rule.shift))),
          wrap(_mm256_set1_epi32(static_cast<int>(rule.wrap))),
          depthLess(_mm256_set1_epi32(static_cast<int>(rule.depth - 1u))) {}

    // count - 1 < depth - 1, unsigned (compared with the sign bit flipped):
    // all ones where a count is shown.
    [[nodiscard]] __m256i Shown(__m256i count) const {
        const __m256i sign = _mm256_set1_epi32(INT32_MIN);
        return _mm256_cmpgt_epi32(_mm256_xor_si256(depthLess, sign),
                                  _mm256_xor_si256(_mm256_sub_epi32(count, _mm256_set1_epi32(1)), sign));
    }
    // The entries of whole numbers m (modulo 2^32) and m + 1.
    [[nodiscard]] __m256i Index(__m256i m) const {
        return _mm256_and_si256(_mm256_add_epi32(_mm256_and_si256(m, mask), shift), wrap);
    }
    [[nodiscard]] __m256i NextIndex(__m256i m) const { return Index(_mm256_add_epi32(m, _mm256_set1_epi32(1))); }

    __m256i mask, shift, wrap, depthLess;
};

// EncodedOfLinear of 8 mixed linear values (up to 2^24), shifted to the
// component's place `at`: the bounds below the multiple of 2^12 (the low
// byte) and the next bound (the rest), one more where it is at or below the
// mix; at most 255 (2^24 itself is past the next of 255). Every value here
// lies below 2^25, so signed comparisons serve.
inline __m256i EncodedLanes(const std::uint32_t* belowAndNext, __m256i mixed, int at) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i packed = _mm256_i32gather_epi32(reinterpret_cast<const int*>(belowAndNext),
                                                  _mm256_srli_epi32(mixed, 12), 4);
    const __m256i v = _mm256_and_si256(packed, byte);
    const __m256i more = _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_srli_epi32(packed, 8), mixed),
                                             _mm256_set1_epi32(1));
    return _mm256_sll_epi32(_mm256_min_epu32(_mm256_add_epi32(v, more), byte), _mm_cvtsi32_si128(at));
}

}  // namespace
}  // namespace qarn
