#include "colour/display_mapping.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace qarn {
namespace {

// One loop per line, chosen once for the whole picture. Counts of 0 and at
// or above the depth take entry 0 (black) without a branch: the escape
// pattern is too irregular for branch prediction.
template <typename Index>
void MapLine(const std::uint32_t* in, std::uint32_t* out, std::size_t length, std::uint32_t depth,
             const std::uint32_t* table, Index index) {
    const std::uint32_t lastShown = depth - 1u;  // counts 1 .. depth-1 are coloured
    for (std::size_t col = 0; col < length; ++col) {
        const std::uint32_t count = in[col];
        const std::uint32_t shown = 0u - static_cast<std::uint32_t>(count - 1u < lastShown);
        out[col] = table[index(count) & shown];
    }
}

struct ColourIndex {
    std::uint32_t mask;
    std::uint32_t shift;
    std::uint32_t operator()(std::uint32_t count) const { return ((count & mask) + shift) & 4095u; }
};

struct MonoIndex {
    std::uint32_t shift;
    std::uint32_t operator()(std::uint32_t count) const { return (count + shift) & 511u; }
};

// The table and index of a view's settings, worked out once per picture.
struct Mapping {
    const std::uint32_t* table;
    std::uint32_t mask;  // applied to the count before the shift
    std::uint32_t shift;
    std::uint32_t wrap;  // the table's size less one
    std::uint32_t depth;
    bool mono;
};

Mapping MappingOf(const ViewState& view, const PaletteTables& tables) {
    const std::uint32_t mask = PaletteSize(view.PaletteMode) - 1u;
    const bool mono = mask == MonoPaletteSize - 1u;
    // A depth of 0 shows every count in black, like the counts beyond it.
    const std::uint32_t depth = view.Depth == 0 ? 1u : view.Depth;
    const auto shift = static_cast<std::uint32_t>(view.ColourShift);
    // Monochrome: every bit of the count counts, the table has 512 entries.
    if (mono) return {tables.mono.data(), 0xFFFFFFFFu, shift, 511u, depth, true};
    return {tables.colour.data(), mask, shift, 4095u, depth, false};
}

void MapLinePlain(const Mapping& m, const std::uint32_t* in, std::uint32_t* out, std::size_t length) {
    if (m.mono)
        MapLine(in, out, length, m.depth, m.table, MonoIndex{m.shift});
    else
        MapLine(in, out, length, m.depth, m.table, ColourIndex{m.mask, m.shift});
}

#if defined(__x86_64__)
// Eight pixels at a time with a table gather, where the processor has AVX2:
// the same indices as MapLine, about a third faster. The last few pixels of
// a line whose length is not a multiple of eight take the plain loop.
__attribute__((target("avx2"))) void MapLineGather(const Mapping& m, const std::uint32_t* in, std::uint32_t* out,
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

bool HasGather() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

void MapAnyLine(const Mapping& m, const std::uint32_t* in, std::uint32_t* out, std::size_t length, bool allowVector) {
#if defined(__x86_64__)
    if (allowVector && HasGather()) {
        MapLineGather(m, in, out, length);
        return;
    }
#else
    (void)allowVector;
#endif
    MapLinePlain(m, in, out, length);
}

}  // namespace

void MapCounts(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables, DisplayPixels pixels,
               bool allowVector) {
    const Mapping mapping = MappingOf(view, tables);
    for (std::size_t row = 0; row < ViewSize; ++row)
        MapAnyLine(mapping, counts.data() + row * ViewSize, pixels.data() + (ViewSize - 1 - row) * ViewSize, ViewSize,
                   allowVector);
}

void MapCountLine(std::span<const std::uint32_t> counts, const ViewState& view, const PaletteTables& tables,
                  std::span<std::uint32_t> colours) {
    MapAnyLine(MappingOf(view, tables), counts.data(), colours.data(), std::min(counts.size(), colours.size()), true);
}

void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels) {
    MapCounts(counts, view, tables, pixels, true);
}

}  // namespace qarn
