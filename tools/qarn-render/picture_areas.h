#pragma once
#include <string>

#include "band_renderer.h"
#include "engine/view_state.h"

namespace qarn::render {

// The view the viewer shows for a view record: a level of 0 (or below) is
// the home view, wherever the record's origin lay, as when a coordinate
// file is loaded.
ViewState ShownView(const ViewState& view);

// The view's square at `scale` times the resolution: (512 x scale) pixels a
// side, from the view's origin, at PixelStep / scale (an 80-bit division).
PictureArea PrintArea(const ViewState& view, int scale);

// Frame `frame` of `frames` + 1 zooming in to the view about its centre:
// step 2^-7 x (PixelStep / 2^-7)^(frame / frames), exactly the power of two
// when the exponent is whole; the last frame is the view itself.
PictureArea ZoomFrameArea(const ViewState& view, int frame, int frames, int scale);

// frame-0000.png ... frame-9999.png
std::string ZoomFrameName(int frame);

}  // namespace qarn::render
