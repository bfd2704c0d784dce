// The palette's mix of a line, 8 points at a time, for processors with
// AVX-512F (see palette_mix.h).
// GCC 12's AVX-512 intrinsics start their masked forms from an undefined
// vector, which its own warning then reports as used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "colour/linear_light.h"
#include "colour/palette_lanes.h"
#include "colour/palette_mix.h"
#include "colour/smooth_colour.h"

namespace qarn {
namespace {

// One component (the bits from `at`) of colours a and b, whose linear values
// are the low halves of la and lb, mixed by weights w (wa = 2^24 - w) as
// MixInLinearLight mixes it: the rounded mix of the linear values (below
// 2^49: whole 64-bit lanes, rounded by adding a half), then its encoding.
inline __m256i MixComponent(const std::uint32_t* belowAndNext, __m512i la, __m512i lb, __m512i w, __m512i wa, int at) {
    const __m512i sum = _mm512_add_epi64(_mm512_add_epi64(_mm512_mul_epu32(la, wa), _mm512_mul_epu32(lb, w)),
                                         _mm512_set1_epi64(LinearOne / 2));
    return EncodedLanes(belowAndNext, _mm512_cvtepi64_epi32(_mm512_srli_epi64(sum, 24)), at);
}

}  // namespace

std::size_t MixPaletteLanesAvx512(const PaletteRule& rule, const LinearPalette& linear, const std::uint32_t* counts,
                                  const double* values, double frameShift, std::uint32_t* colours, std::size_t length) {
    const std::uint32_t* belowAndNext = BelowAndNextTable();
    const __m512d shift = _mm512_set1_pd(frameShift);
    const __m512d magic = _mm512_set1_pd(0x1.8p52);
    const __m512d limit = _mm512_set1_pd(0x1p51);
    const __m512d one = _mm512_set1_pd(MixOne);
    const RuleLanes lanes(rule);
    const auto* redGreen = reinterpret_cast<const long long*>(linear.redGreen.data());
    const auto* blue = reinterpret_cast<const long long*>(linear.blue.data());
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const __m256i count = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(counts + i));
        const __m256i shown = lanes.Shown(count);
        const __m512d v = _mm512_add_pd(_mm512_loadu_pd(values + i), shift);
        // A shown value at 2^51 or beyond (or not a number) is the caller's.
        const __mmask8 shownLanes = static_cast<__mmask8>(_mm256_movemask_ps(_mm256_castsi256_ps(shown)));
        if (shownLanes == 0) {  // all black (inside the set, say): no gathers
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + i), _mm256_setzero_si256());
            continue;
        }
        const __mmask8 near = _mm512_cmp_pd_mask(_mm512_abs_pd(v), limit, _CMP_LT_OQ);
        if ((shownLanes & ~near) != 0) break;
        const __m512d whole = _mm512_roundscale_pd(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        // floor(v) modulo 2^32: the low bits of whole + 1.5 x 2^52 (exact).
        const __m256i m = _mm512_cvtepi64_epi32(_mm512_castpd_si512(_mm512_add_pd(whole, magic)));
        // WeightOf(v - floor(v)): fraction x 2^24 + 1/2, 0 unless above 0,
        // at most 2^24, truncated (a value not a number weighs 0).
        const __m512d scaled = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(v, whole), one), _mm512_set1_pd(0.5));
        const __m256i weight = _mm512_cvttpd_epu32(_mm512_min_pd(_mm512_max_pd(scaled, _mm512_setzero_pd()), one));
        const __m256i ia = lanes.Index(m);
        const __m256i ib = lanes.NextIndex(m);
        const __m512i rgA = _mm512_i32gather_epi64(ia, redGreen, 8);
        const __m512i rgB = _mm512_i32gather_epi64(ib, redGreen, 8);
        const __m512i w = _mm512_cvtepu32_epi64(weight);
        const __m512i wa = _mm512_sub_epi64(_mm512_set1_epi64(MixOne), w);
        const __m256i red = MixComponent(belowAndNext, rgA, rgB, w, wa, 16);
        const __m256i green = MixComponent(belowAndNext, _mm512_srli_epi64(rgA, 32), _mm512_srli_epi64(rgB, 32), w, wa,
                                           8);
        const __m256i blueMix = MixComponent(belowAndNext, _mm512_i32gather_epi64(ia, blue, 8),
                                             _mm512_i32gather_epi64(ib, blue, 8), w, wa, 0);
        const __m256i mix = _mm256_or_si256(_mm256_or_si256(red, green), blueMix);
        // Weight 0 mixes to a itself (each component's linear value encodes
        // back to it), as MixColours gives it; a count not shown is black.
        const __m256i colour = _mm256_and_si256(mix, shown);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + i), colour);
    }
    return i;
}

}  // namespace qarn
