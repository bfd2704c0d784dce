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

PictureArea Scaled(long double originRe, long double originIm, long double step, int scale) {
    return {originRe, originIm, step / static_cast<long double>(scale), ViewSize * scale};
}

}  // namespace

ViewState ShownView(const ViewState& view) {
    ViewState shown = view;
    if (shown.ZoomLevel <= 0) InstallHomeView(shown);
    return shown;
}

PictureArea PrintArea(const ViewState& view, int scale) {
    SetArithmeticMode();
    return Scaled(view.OriginRe, view.OriginIm, view.PixelStep, scale);
}

PictureArea ZoomFrameArea(const ViewState& view, int frame, int frames, int scale) {
    SetArithmeticMode();
    // The last frame is the view, origin and step as they are: going through
    // the centre and back could round the origin.
    if (frame >= frames) return PrintArea(view, scale);
    const long double exponent = LevelsBelowHome(view.PixelStep) * static_cast<long double>(frame) /
                                 static_cast<long double>(frames);
    const bool whole = std::fabs(exponent) < 65536.0L && exponent == std::floor(exponent);
    const long double step = whole ? std::ldexp(HomeStep, static_cast<int>(exponent)) : HomeStep * std::exp2(exponent);
    const long double half = static_cast<long double>(HalfView);
    const long double centreRe = view.OriginRe + half * view.PixelStep;
    const long double centreIm = view.OriginIm - half * view.PixelStep;
    return Scaled(centreRe - half * step, centreIm + half * step, step, scale);
}

std::string ZoomFrameName(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", frame);
    return name;
}

}  // namespace qarn::render
