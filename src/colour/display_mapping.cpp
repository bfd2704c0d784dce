#include "colour/display_mapping.h"

#include <cstddef>

namespace qarn {
namespace {

// One loop per mapping, chosen once for the whole picture. Counts of 0 and
// at or above the depth take entry 0 (black) without a branch: the escape
// pattern is too irregular for branch prediction.
template <typename Index>
void MapRows(const IterationBuffer& counts, std::uint32_t depth, const std::uint32_t* table, DisplayPixels pixels,
             Index index) {
    const std::uint32_t lastShown = depth - 1u;  // counts 1 .. depth-1 are coloured
    for (std::size_t row = 0; row < ViewSize; ++row) {
        const std::uint32_t* in = counts.data() + row * ViewSize;
        std::uint32_t* out = pixels.data() + (ViewSize - 1 - row) * ViewSize;
        for (std::size_t col = 0; col < ViewSize; ++col) {
            const std::uint32_t count = in[col];
            const std::uint32_t shown = 0u - static_cast<std::uint32_t>(count - 1u < lastShown);
            out[col] = table[index(count) & shown];
        }
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

}  // namespace

void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels, Desktop& desktop) {
    const std::uint32_t mask = PaletteSize(view.PaletteMode) - 1u;
    const auto shift = static_cast<std::uint32_t>(view.ColourShift);
    // A depth of 0 shows every count in black, like the counts beyond it.
    const std::uint32_t depth = view.Depth == 0 ? 1u : view.Depth;
    if (mask == MonoPaletteSize - 1u)
        MapRows(counts, depth, tables.mono.data(), pixels, MonoIndex{shift});
    else
        MapRows(counts, depth, tables.colour.data(), pixels, ColourIndex{mask, shift});
    desktop.RepaintPicture();
}

}  // namespace qarn
