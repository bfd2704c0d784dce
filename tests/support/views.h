#pragma once
#include <cmath>
#include <memory>

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

}  // namespace qarn::testing
