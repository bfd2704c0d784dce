#pragma once
#include <cstdint>
#include <string>

#include "deep/dyadic_number.h"
#include "engine/view_state.h"
#include "frame_step.h"

namespace qarn::render {

// Reads a whole text as a real, rounded correctly to the nearest 80-bit
// value: "-0.75", "1e-3", "0x1p-60", "inf", "nan". False for anything else.
bool ParseReal(const std::string& text, long double& value);

// 21 significant digits: read back with ParseReal, the same 80-bit value.
std::string FormatReal(long double value);

// The view as `key: value` lines: origin, centre, level, step, depth,
// palette, shift. A view at level 0 shows the home view wherever its origin
// lies: that is what is printed, after a line `shown: the home view`.
std::string ViewInfo(const ViewState& view);

// A deep view as `key: value` lines: centre (each part the shortest decimal
// that reads back to the same multiple of 2^-fractionBits), level, step,
// depth, palette, shift. qarn-render reads these lines back as the view.
std::string DeepViewInfo(const deep::DyadicNumber& re, const deep::DyadicNumber& im, std::int64_t level,
                         std::int64_t fractionBits, const ViewState& view);
// The same lines for a zoom frame of a deep view: its step (exactly, in
// hexadecimal) and the whole level nearest to it.
std::string DeepFrameInfo(const deep::DyadicNumber& re, const deep::DyadicNumber& im, BinaryStep step,
                          std::int64_t fractionBits, const ViewState& view);

// One frame's block of --info: a line `frame: K`, the frame's lines, and
// under a shift per frame a line `frame shift: k x D`.
std::string FrameBlock(int frame, const std::string& lines, double shiftPerFrame);

// Zoom frames `first` to `last` of 0 .. `frames` of the view, one block each:
// a line `frame: K`, then the frame's square as ViewInfo gives a view, its
// level the whole level nearest to the frame's step (the last frame's the
// view's own); under a shift per frame, a line `frame shift: k x D` (the
// counts added to frame k's colours); a blank line between blocks.
std::string ZoomFramesInfo(const ViewState& view, int first, int last, int frames, double shiftPerFrame = 0.0);

}  // namespace qarn::render
