#pragma once
#include <array>

#include "engine/view_state.h"

namespace qarn {

// A whole line of ViewSize coordinates stepped from `start` by `step`: the
// same bits of both always give the same coordinates.
struct LineKey {
    ExtendedImage start{};
    ExtendedImage step{};
    bool valid = false;
    bool operator==(const LineKey&) const = default;
};

// The pixels of one pass and their coordinates. Every pixel (col, row) of the
// rectangle is iterated from c = (re[col], im[row]). The coordinates are
// produced exactly as the row and column passes step through them, by
// repeated single additions of PixelStep, so the pixels can afterwards be
// evaluated in any order, on any thread.
struct StripPlan {
    int firstRow = 0;
    int rowCount = 0;
    int firstCol = 0;
    int colCount = 0;
    // Left uninitialised: a scroll by one line plans one line's worth.
    std::array<long double, ViewSize> re;  // valid for the strip's columns
    std::array<long double, ViewSize> im;  // valid for the strip's rows

    // What the whole line of real parts (all 512 columns) or imaginary parts
    // (all 512 rows) was last stepped from. A plan kept from pass to pass
    // reuses it while the origin's part and the step are the same bits: a
    // scroll along the line then steps only the new strip.
    LineKey reLine;
    LineKey imLine;
};

// count < 0: rows 0 .. |count|-1; count > 0: rows 512-count .. 511; all columns.
// Returns false (and plans nothing) for a count of 0 or beyond +-512.
bool PlanRows(const ViewState& view, int count, StripPlan& plan);
// The same for columns, over all rows.
bool PlanColumns(const ViewState& view, int count, StripPlan& plan);

}  // namespace qarn
