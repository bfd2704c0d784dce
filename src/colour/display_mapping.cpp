#include "colour/display_mapping.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>

#include "engine/processor_features.h"
#endif

namespace qarn {
namespace {

// One loop per line. Counts not shown take entry 0 (black) without a
// branch: the escape pattern is too irregular for branch prediction.
void MapLinePlain(const PaletteRule& rule, const std::uint32_t* in, std::uint32_t* out, std::size_t length) {
    for (std::size_t col = 0; col < length; ++col) {
        const std::uint32_t count = in[col];
        const std::uint32_t shown = 0u - static_cast<std::uint32_t>(rule.Shown(count));
        out[col] = rule.table[rule.Index(count) & shown];
    }
}

#if defined(__x86_64__)
// Eight pixels at a time with a table gather, where the processor has AVX2:
// PaletteRule's Index and Shown in each lane, about a third faster. The last
// few pixels of a line whose length is not a multiple of eight take the
// plain loop.
__attribute__((target("avx2"))) void MapLineGather(const PaletteRule& m, const std::uint32_t* in, std::uint32_t* out,
                                                   std::size_t length) {
    const __m256i vmask = _mm256_set1_epi32(static_cast<int>(m.mask));
    const __m256i vshift = _mm256_set1_epi32(static_cast<int>(m.shift));
    const __m256i vwrap = _mm256_set1_epi32(static_cast<int>(m.wrap));
    const __m256i one = _mm256_set1_epi32(1);
    // Unsigned comparison through signed: flip the top bit of both sides.
    const __m256i flip = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i lastShown = _mm256_set1_epi32(static_cast<int>((m.depth - 1u) ^ 0x80000000u));
    std::size_t col = 0;
    for (; col + 8 <= length; col += 8) {
        const __m256i count = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + col));
        __m256i index = _mm256_and_si256(_mm256_add_epi32(_mm256_and_si256(count, vmask), vshift), vwrap);
        const __m256i shown = _mm256_cmpgt_epi32(lastShown, _mm256_xor_si256(_mm256_sub_epi32(count, one), flip));
        index = _mm256_and_si256(index, shown);
        const __m256i colour = _mm256_i32gather_epi32(reinterpret_cast<const int*>(m.table), index, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + col), colour);
    }
    MapLinePlain(m, in + col, out + col, length - col);
}

#endif

void MapAnyLine(const PaletteRule& m, const std::uint32_t* in, std::uint32_t* out, std::size_t length, bool allowVector) {
#if defined(__x86_64__)
    if (allowVector && HasAvx2()) {
        MapLineGather(m, in, out, length);
        return;
    }
#else
    (void)allowVector;
#endif
    MapLinePlain(m, in, out, length);
}

}  // namespace

PaletteRule PaletteRuleOf(const ViewState& view, const PaletteTables& tables) {
    const std::uint32_t mask = PaletteSize(view.PaletteMode) - 1u;
    const bool mono = mask == MonoPaletteSize - 1u;
    const std::uint32_t depth = view.Depth == 0 ? 1u : view.Depth;
    const auto shift = static_cast<std::uint32_t>(view.ColourShift);
    if (mono) return {tables.mono.data(), 0xFFFFFFFFu, shift, 511u, depth};
    return {tables.colour.data(), mask, shift, 4095u, depth};
}

void MapCounts(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables, DisplayPixels pixels,
               bool allowVector) {
    const PaletteRule mapping = PaletteRuleOf(view, tables);
    for (std::size_t row = 0; row < ViewSize; ++row)
        MapAnyLine(mapping, counts.data() + row * ViewSize, pixels.data() + (ViewSize - 1 - row) * ViewSize, ViewSize,
                   allowVector);
}

void MapCountLine(std::span<const std::uint32_t> counts, const ViewState& view, const PaletteTables& tables,
                  std::span<std::uint32_t> colours) {
    MapAnyLine(PaletteRuleOf(view, tables), counts.data(), colours.data(), std::min(counts.size(), colours.size()), true);
}

void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels) {
    MapCounts(counts, view, tables, pixels, true);
}

}  // namespace qarn
