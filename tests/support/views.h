#pragma once
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "engine/arithmetic_mode.h"
#include "engine/view_engine.h"
#include "engine/view_state.h"

namespace qarn::testing {

// The engine is large; tests keep it on the heap.
inline std::unique_ptr<ViewEngine> MakeEngine(const ViewState& view, unsigned threads = 0) {
    auto engine = std::make_unique<ViewEngine>(threads);
    engine->view = view;
    return engine;
}

inline ViewState HomeViewState(std::uint32_t depth = 512) {
    ViewState view;
    InstallHomeView(view);
    view.Depth = depth;
    return view;
}

// 2^-(7 + level), the step of a zoom level.
inline long double StepOfLevel(int level) {
    long double step = 0.0078125L;
    for (int i = 0; i < level; ++i) step /= 2.0L;
    return step;
}

// A view of the given level whose centre pixel (256, 256) lies on the grid
// point nearest to (re, im).
inline ViewState ViewAround(long double re, long double im, int level, std::uint32_t depth) {
    ViewState view;
    const long double step = StepOfLevel(level);
    view.PixelStep = step;
    view.OriginRe = (std::floor(re / step) - 256.0L) * step;
    view.OriginIm = (std::floor(im / step) + 256.0L) * step;
    view.ZoomLevel = level;
    view.Depth = depth;
    return view;
}

// A view off the grid of any level: the step 2^-7 / 3 is no power of two, so
// origin + k x step in one product and k single steps from the origin round
// to different values for most k: for 504 of the 511 starts k = 1..511 of a
// positive row strip, and 497 of those of a column strip.
inline ViewState OffGridView(std::uint32_t depth) {
    SetArithmeticMode();  // the step is computed, not a literal
    ViewState view;
    view.OriginRe = 0.1L;
    view.OriginIm = 0.7L;
    view.PixelStep = 0.0078125L / 3;
    view.Depth = depth;
    return view;
}

// A view off the grid at a deep level: the step is a third of the level's,
// so every coordinate after the first of a line is rounded, and its low bits
// (which no double holds) decide the counts near the boundary.
inline ViewState OffGridViewAround(long double re, long double im, int level, std::uint32_t depth) {
    SetArithmeticMode();
    ViewState view = ViewAround(re, im, level, depth);
    view.PixelStep /= 3;
    return view;
}

inline ViewState WithOrigin(ViewState view, long double re, long double im) {
    view.OriginRe = re;
    view.OriginIm = im;
    return view;
}

// The views that the tests and the benchmark both name.
// Level 3 at origin -0.5 + 0.25i: every pixel inside the main cardioid.
inline ViewState WhollyInsideView() { return WithOrigin(ViewAround(-0.25L, 0.0L, 3, 4096), -0.5L, 0.25L); }
// The minibrot at -1.7549: cycles of period 3 and more.
inline ViewState MinibrotView() { return ViewAround(-1.7549L, 0.0L, 8, 4096); }
// Deep in a spiral, where no orbit repeats: 80-bit coordinates at level 50.
inline ViewState SpiralView(int level, std::uint32_t depth = 4096) {
    return ViewAround(-0.7436438870371587L, 0.1318259042053119L, level, depth);
}
// The neck at -0.75, level 10: every coordinate a double, and no orbit repeats.
inline ViewState NeckView() { return ViewAround(-0.75L, 0.0L, 10, 4096); }
// A damaged coordinate file: the origin's real part is not a number.
inline ViewState NaNOriginView(std::uint32_t depth) {
    return WithOrigin(HomeViewState(depth), std::numeric_limits<long double>::quiet_NaN(), 2.0L);
}
// Origin and step below the smallest normal 80-bit real.
inline ViewState SubnormalView(std::uint32_t depth) {
    ViewState view = WithOrigin(HomeViewState(depth), 1e-4940L, 1e-4940L);
    view.PixelStep = 1e-4945L;
    return view;
}

}  // namespace qarn::testing
