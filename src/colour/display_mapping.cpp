#include "colour/display_mapping.h"

#include <cstddef>

namespace qarn {
namespace {

// One loop per mapping, chosen once for the whole picture.
template <typename Lookup>
void MapRows(const IterationBuffer& counts, std::uint32_t depth, DisplayPixels pixels, Lookup lookup) {
    for (std::size_t row = 0; row < ViewSize; ++row) {
        const std::uint32_t* in = counts.data() + row * ViewSize;
        std::uint32_t* out = pixels.data() + (ViewSize - 1 - row) * ViewSize;
        for (std::size_t col = 0; col < ViewSize; ++col) {
            const std::uint32_t count = in[col];
            out[col] = (count == 0 || count >= depth) ? lookup.black : lookup(count);
        }
    }
}

struct ColourLookup {
    const ColourTable& table;
    std::uint32_t mask;
    std::uint32_t shift;
    std::uint32_t black;
    std::uint32_t operator()(std::uint32_t count) const { return table[((count & mask) + shift) & 4095u]; }
};

struct MonoLookup {
    const MonoTable& table;
    std::uint32_t shift;
    std::uint32_t black;
    std::uint32_t operator()(std::uint32_t count) const { return table[(count + shift) & 511u]; }
};

}  // namespace

void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels, Desktop& desktop) {
    const std::uint32_t mask = PaletteSize(view.PaletteMode) - 1u;
    const auto shift = static_cast<std::uint32_t>(view.ColourShift);
    if (mask == MonoPaletteSize - 1u)
        MapRows(counts, view.Depth, pixels, MonoLookup{tables.mono, shift, tables.mono[0]});
    else
        MapRows(counts, view.Depth, pixels, ColourLookup{tables.colour, mask, shift, tables.colour[0]});
    desktop.RepaintPicture();
}

}  // namespace qarn
