#include "picture_areas.h"

#include <cmath>
#include <cstdio>

#include "engine/arithmetic_mode.h"

namespace qarn::render {
namespace {

constexpr long double HomeStep = HomeView.PixelStep;  // 2^-7

// log2(PixelStep / 2^-7); exact where the ratio is a power of two, as at
// every zoom level.
long double LevelsBelowHome(long double step) {
    const long double ratio = step / HomeStep;
    int exponent = 0;
    if (std::frexp(ratio, &exponent) == 0.5L) return static_cast<long double>(exponent - 1);
    return std::log2(ratio);
}

}  // namespace

ViewSquare SquareOf(const ViewState& view) { return {view.OriginRe, view.OriginIm, view.PixelStep}; }

ViewSquare ZoomFrameSquare(const ViewState& view, int frame, int frames) {
    SetArithmeticMode();
    // The last frame is the view, origin and step as they are: going through
    // the centre and back could round the origin.
    if (frame >= frames) return SquareOf(view);
    const long double exponent = LevelsBelowHome(view.PixelStep) * static_cast<long double>(frame) /
                                 static_cast<long double>(frames);
    const bool whole = std::fabs(exponent) < 65536.0L && exponent == std::floor(exponent);
    const long double step = whole ? std::ldexp(HomeStep, static_cast<int>(exponent)) : HomeStep * std::exp2(exponent);
    const long double half = static_cast<long double>(HalfView);
    const long double centreRe = view.OriginRe + half * view.PixelStep;
    const long double centreIm = view.OriginIm - half * view.PixelStep;
    return {centreRe - half * step, centreIm + half * step, step};
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

std::string ZoomFrameName(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", frame);
    return name;
}

}  // namespace qarn::render
