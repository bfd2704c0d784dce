// The palette's mix of a line, 8 points at a time, for processors with AVX2
// (see palette_mix.h): the AVX-512 form's steps, those on 64-bit lanes in two
// halves of 4 points.
#include <immintrin.h>

#include "colour/linear_light.h"
#include "colour/palette_lanes.h"
#include "colour/palette_mix.h"
#include "colour/smooth_colour.h"

namespace qarn {
namespace {

// The low 32 bits of the 64-bit lanes of lo (points 0 to 3) and hi (4 to 7),
// in the points' order.
inline __m256i LowHalves(__m256i lo, __m256i hi) {
    // Within each 128-bit half: lo's two, then hi's two.
    const __m256 pairs = _mm256_shuffle_ps(_mm256_castsi256_ps(lo), _mm256_castsi256_ps(hi), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(pairs), _MM_SHUFFLE(3, 1, 2, 0));
}

// The rounded mix of 4 points' linear values, the low halves of la and lb,
// by weights w (wa = 2^24 - w); below 2^49, so whole 64-bit lanes.
inline __m256i MixedLinear(__m256i la, __m256i lb, __m256i w, __m256i wa) {
    const __m256i sum = _mm256_add_epi64(_mm256_add_epi64(_mm256_mul_epu32(la, wa), _mm256_mul_epu32(lb, w)),
                                         _mm256_set1_epi64x(LinearOne / 2));
    return _mm256_srli_epi64(sum, 24);
}

// One component of 8 points, from the 64-bit words gathered for their
// entries a and b (the component in each word's low half).
inline __m256i MixedComponent(const std::uint32_t* belowAndNext, const __m256i (&a)[2], const __m256i (&b)[2],
                              const __m256i (&w)[2], const __m256i (&wa)[2], int at) {
    return EncodedLanes(belowAndNext,
                        LowHalves(MixedLinear(a[0], b[0], w[0], wa[0]), MixedLinear(a[1], b[1], w[1], wa[1])), at);
}

}  // namespace

std::size_t MixPaletteLanesAvx2(const PaletteRule& rule, const LinearPalette& linear, const std::uint32_t* counts,
                                const double* values, double frameShift, std::uint32_t* colours, std::size_t length) {
    const std::uint32_t* belowAndNext = BelowAndNextTable();
    const __m256d shift = _mm256_set1_pd(frameShift);
    const __m256d magic = _mm256_set1_pd(0x1.8p52);
    const __m256d limit = _mm256_set1_pd(0x1p51);
    const __m256d one = _mm256_set1_pd(MixOne);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const RuleLanes lanes(rule);
    const auto* redGreen = reinterpret_cast<const long long*>(linear.redGreen.data());
    const auto* blue = reinterpret_cast<const long long*>(linear.blue.data());
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const __m256i count = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(counts + i));
        const __m256i shown = lanes.Shown(count);
        const __m256d v[2] = {_mm256_add_pd(_mm256_loadu_pd(values + i), shift),
                              _mm256_add_pd(_mm256_loadu_pd(values + i + 4), shift)};
        // A shown value at 2^51 or beyond (or not a number) is the caller's.
        const int shownLanes = _mm256_movemask_ps(_mm256_castsi256_ps(shown));
        if (shownLanes == 0) {  // all black (inside the set, say): no gathers
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + i), _mm256_setzero_si256());
            continue;
        }
        const int near = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_andnot_pd(signBit, v[0]), limit, _CMP_LT_OQ)) |
                         _mm256_movemask_pd(_mm256_cmp_pd(_mm256_andnot_pd(signBit, v[1]), limit, _CMP_LT_OQ)) << 4;
        if ((shownLanes & ~near) != 0) break;
        __m256i low[2], w[2], wa[2];
        for (int h = 0; h < 2; ++h) {
            const __m256d whole = _mm256_round_pd(v[h], _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
            // floor(v) modulo 2^32: the low bits of whole + 1.5 x 2^52 (exact).
            low[h] = _mm256_castpd_si256(_mm256_add_pd(whole, magic));
            // WeightOf(v - floor(v)): fraction x 2^24 + 1/2, 0 unless above
            // 0, at most 2^24, truncated (a value not a number weighs 0).
            const __m256d scaled = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(v[h], whole), one), _mm256_set1_pd(0.5));
            w[h] = _mm256_cvtepu32_epi64(
                _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(scaled, _mm256_setzero_pd()), one)));
            wa[h] = _mm256_sub_epi64(_mm256_set1_epi64x(MixOne), w[h]);
        }
        const __m256i m = LowHalves(low[0], low[1]);
        const __m256i ia = lanes.Index(m);
        const __m256i ib = lanes.NextIndex(m);
        const __m128i ia2[2] = {_mm256_castsi256_si128(ia), _mm256_extracti128_si256(ia, 1)};
        const __m128i ib2[2] = {_mm256_castsi256_si128(ib), _mm256_extracti128_si256(ib, 1)};
        __m256i rgA[2], rgB[2], gA[2], gB[2], bA[2], bB[2];
        for (int h = 0; h < 2; ++h) {
            rgA[h] = _mm256_i32gather_epi64(redGreen, ia2[h], 8);
            rgB[h] = _mm256_i32gather_epi64(redGreen, ib2[h], 8);
            gA[h] = _mm256_srli_epi64(rgA[h], 32);
            gB[h] = _mm256_srli_epi64(rgB[h], 32);
            bA[h] = _mm256_i32gather_epi64(blue, ia2[h], 8);
            bB[h] = _mm256_i32gather_epi64(blue, ib2[h], 8);
        }
        const __m256i mix = _mm256_or_si256(_mm256_or_si256(MixedComponent(belowAndNext, rgA, rgB, w, wa, 16),
                                                            MixedComponent(belowAndNext, gA, gB, w, wa, 8)),
                                            MixedComponent(belowAndNext, bA, bB, w, wa, 0));
        // Weight 0 mixes to a itself (each component's linear value encodes
        // back to it), as MixColours gives it; a count not shown is black.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + i), _mm256_and_si256(mix, shown));
    }
    return i;
}

}  // namespace qarn
