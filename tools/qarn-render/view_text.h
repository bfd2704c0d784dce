#pragma once
#include <string>

#include "engine/view_state.h"

namespace qarn::render {

// Reads a whole text as a real, rounded correctly to the nearest 80-bit
// value: "-0.75", "1e-3", "0x1p-60", "inf", "nan". False for anything else.
bool ParseReal(const std::string& text, long double& value);

// 21 significant digits: read back with ParseReal, the same 80-bit value.
std::string FormatReal(long double value);

// The view as `key: value` lines: origin, centre, level, step, depth,
// palette, shift.
std::string ViewInfo(const ViewState& view);

// Zoom frames `first` to `last` of 0 .. `frames` of the view, one block each:
// a line `frame: K`, then the frame's square as ViewInfo gives a view, its
// level the whole level nearest to the frame's step (the last frame's the
// view's own); a blank line between blocks.
std::string ZoomFramesInfo(const ViewState& view, int first, int last, int frames);

}  // namespace qarn::render
