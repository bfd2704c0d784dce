#include "picture_areas.h"

#include <cstdio>

#include "engine/arithmetic_mode.h"
#include "engine/view_centre.h"
#include "frame_step.h"

namespace qarn::render {

ViewSquare SquareOf(const ViewState& view) { return {view.OriginRe, view.OriginIm, view.PixelStep}; }

ViewSquare ZoomFrameSquare(const ViewState& view, int frame, int frames) {
    SetArithmeticMode();
    // The last frame is the view, origin and step as they are: going through
    // the centre and back could round the origin.
    if (frame >= frames) return SquareOf(view);
    const long double step = FrameStep(view.PixelStep, frame, frames);
    const ViewPoint origin = OriginAround(CentreOf(view), step);
    return {origin.re, origin.im, step};
}

PictureArea FramedArea(const ViewSquare& square, int scale, int width, int height) {
    SetArithmeticMode();
    PictureArea area{square.originRe, square.originIm, square.step, width, height};
    if (scale != 1) area.step = square.step / static_cast<long double>(scale);
    const int side = ViewSize * scale;
    const int left = (width - side) / 2;
    const int up = (height - side) / 2;
    if (left != 0) area.originRe = square.originRe - static_cast<long double>(left) * area.step;
    if (up != 0) area.originIm = square.originIm + static_cast<long double>(up) * area.step;
    return area;
}

std::string ZoomFrameName(int frame, std::string_view extension) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d", frame);
    return name + std::string(extension);
}

}  // namespace qarn::render
