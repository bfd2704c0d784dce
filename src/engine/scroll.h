#pragma once
#include "engine/view_engine.h"

namespace qarn {

// Moves the view by whole pixels: dx > 0 towards larger real parts, dy > 0
// towards smaller imaginary parts. The counts already computed move with the
// picture and only the uncovered strips are computed, so the result equals a
// full computation of the moved view. Each amount is limited to +-512.
// The caller maps the display.
void ScrollView(ViewEngine& engine, int dx, int dy);

}  // namespace qarn
