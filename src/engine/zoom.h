#pragma once
#include <cstdint>

#include "engine/view_state.h"

namespace qarn {

inline constexpr int ResetDelta = -MaxZoomLevel;

// What a level delta did to the view.
enum class ZoomKind {
    Refused,    // the target level passes 56: nothing changed
    In,         // into the selection square
    Out,        // about the display centre
    Reset,      // the home view at level 0
    Recompute,  // the same view, to be computed again
};

// A pixel of the picture: column, and row from the top.
struct PicturePixel {
    std::int32_t col = 0;
    std::int32_t row = 0;
};

// Moves the view by a level delta:
//   -56       reset to the home view at level 0
//   -4 .. -1  zoom out about the display centre
//   0         recompute the current view (at level 0 or below: a reset)
//   1 .. 4    zoom in: `corner`, the selection square's top-left pixel,
//             becomes pixel (0, 0) and the step is divided by 2^delta
// A target level above 56 changes nothing at all. The caller computes the
// counts of the new view.
ZoomKind MoveToLevel(ViewState& view, int delta, PicturePixel corner);

}  // namespace qarn
