#pragma once
#include <cstdint>
#include <span>

#include "colour/palette_tables.h"
#include "engine/iteration_buffer.h"

namespace qarn {

// The rule that turns a count into an entry of the palette tables, worked
// out once per picture from a view's settings: the entry of a count is
// table[((count & mask) + shift) & wrap]. Monochrome takes every bit of the
// count (mask all ones) into its 512 entries, the colour palettes the low
// bits of their size into 4096. Counts 0 and from depth on are black, not
// entries (a depth of 0 shows every count in black, like the counts beyond
// it).
struct PaletteRule {
    const std::uint32_t* table;
    std::uint32_t mask;  // applied to the count before the shift
    std::uint32_t shift;
    std::uint32_t wrap;  // the table's size less one
    std::uint32_t depth;

    [[nodiscard]] std::uint32_t Index(std::uint32_t count) const { return ((count & mask) + shift) & wrap; }
    [[nodiscard]] std::uint32_t Entry(std::uint32_t count) const { return table[Index(count)]; }
    // Whether a count is shown by an entry, not black.
    [[nodiscard]] bool Shown(std::uint32_t count) const { return count - 1u < depth - 1u; }
};
[[nodiscard]] PaletteRule PaletteRuleOf(const ViewState& view, const PaletteTables& tables);

// The picture's pixels, 0x00RRGGBB, stored bottom-up: memory row 0 is the
// bottom row of the picture.
using DisplayPixels = std::span<std::uint32_t, PixelCount>;

// Turns the counts into pixels through the active table. Counts of 0 or at
// or above Depth are black.
void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels);

// The same; allowVector false keeps to the plain loop (the tests compare
// the two).
void MapCounts(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables, DisplayPixels pixels,
               bool allowVector);

// The same mapping over a line of counts of any length (a band of a large
// print), into colours in the same order, left to right: a picture mapped
// line by line equals the display's pixels, top-down.
void MapCountLine(std::span<const std::uint32_t> counts, const ViewState& view, const PaletteTables& tables,
                  std::span<std::uint32_t> colours);

}  // namespace qarn
