#pragma once
#include <string>
#include <string_view>

#include "engine/view_state.h"

namespace qarn::render {

// The points a picture computes: pixel (col, row) stands for
// c = (originRe + col x step, originIm - row x step), the coordinates reached
// as the passes reach them, by one addition or subtraction of the step per
// pixel from the origin.
struct PictureArea {
    long double originRe = 0.0L;
    long double originIm = 0.0L;
    long double step = 0.0L;
    int width = 0;
    int height = 0;
};

// The 512 x 512 square of a view or of a zoom frame.
struct ViewSquare {
    long double originRe = 0.0L;
    long double originIm = 0.0L;
    long double step = 0.0L;
};

ViewSquare SquareOf(const ViewState& view);

// Frame `frame` of `frames` + 1 zooming in to the view about its centre:
// the step FrameStep(PixelStep, frame, frames) (frame_step.h), the origin
// OriginAround(CentreOf(view), step) (engine/view_centre.h); the last frame
// is the view itself.
ViewSquare ZoomFrameSquare(const ViewState& view, int frame, int frames);

// `width` x `height` points of the square at `scale` times its resolution:
// the step is step / scale (an 80-bit division; the step itself at scale 1),
// centred on the centre of the (512 x scale)^2 square. The top-left point
// moves from the square's origin by a = (width - 512 x scale) / 2 steps left
// and b = (height - 512 x scale) / 2 steps up, each a whole number times the
// step in one 80-bit product, subtracted from the real part (a) and added to
// the imaginary part (b); a part whose count is 0 is the origin's as it is.
PictureArea FramedArea(const ViewSquare& square, int scale, int width, int height);

// frame-0000 ... frame-9999, then the extension (".png").
std::string ZoomFrameName(int frame, std::string_view extension);

}  // namespace qarn::render
