#pragma once
#include <array>
#include <cmath>
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

// The coordinates of the pixels of one strip, worked out from the passes'
// definition: a negative strip starts at the origin; a positive one at the
// origin minus (rows) or plus (columns) one product, (512 - count) x step,
// even when that is 0 x step; from there one single step per pixel, rows
// downwards and columns to the right. Pixel (col, row) of the strip is
// c = (re[col], im[row]).
struct StripModel {
    bool rows = true;
    int first = 0;  // the strip's first line
    int end = 0;    // one past its last line
    std::array<long double, ViewSize> re{};
    std::array<long double, ViewSize> im{};

    bool Holds(int col, int row) const {
        const int line = rows ? row : col;
        return line >= first && line < end;
    }
};

inline StripModel ModelStrip(const ViewState& view, bool rows, int count) {
    SetArithmeticMode();
    StripModel strip;
    strip.rows = rows;
    strip.first = count < 0 ? 0 : ViewSize - count;
    strip.end = count < 0 ? -count : ViewSize;
    const long double step = view.PixelStep;
    long double re = view.OriginRe;
    long double im = view.OriginIm;
    if (count > 0) {
        const long double offset = static_cast<long double>(strip.first) * step;
        if (rows)
            im = view.OriginIm - offset;
        else
            re = view.OriginRe + offset;
    }
    for (int col = rows ? 0 : strip.first; col < (rows ? ViewSize : strip.end); ++col) {
        strip.re[static_cast<std::size_t>(col)] = re;
        re += step;
    }
    for (int row = rows ? strip.first : 0; row < (rows ? strip.end : ViewSize); ++row) {
        strip.im[static_cast<std::size_t>(row)] = im;
        im -= step;
    }
    return strip;
}

}  // namespace qarn::testing
