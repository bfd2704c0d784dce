#pragma once
#include <array>

#include "engine/view_state.h"

namespace qarn {

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
    std::array<long double, ViewSize> re{};  // valid for the strip's columns
    std::array<long double, ViewSize> im{};  // valid for the strip's rows
};

// count < 0: rows 0 .. |count|-1; count > 0: rows 512-count .. 511; all columns.
// Returns false (and plans nothing) for a count of 0 or beyond +-512.
bool PlanRows(const ViewState& view, int count, StripPlan& plan);
// The same for columns, over all rows.
bool PlanColumns(const ViewState& view, int count, StripPlan& plan);

}  // namespace qarn
