#include "engine/scroll.h"

#include <algorithm>
#include <cstring>

#include "engine/arithmetic_mode.h"

namespace qarn {
namespace {

// Moves the flat buffer by `offset` elements towards its start (offset > 0)
// or its end (offset < 0). memmove copies as if through a temporary, which
// gives the same result as copying upwards for a move towards the start and
// downwards for a move towards the end.
void MoveCounts(IterationBuffer& counts, int offset) {
    const auto amount = static_cast<std::size_t>(offset < 0 ? -offset : offset);
    if (amount >= counts.size()) return;
    const std::size_t kept = (counts.size() - amount) * sizeof(counts[0]);
    if (offset > 0)
        std::memmove(counts.data(), counts.data() + amount, kept);
    else
        std::memmove(counts.data() + amount, counts.data(), kept);
}

// The origin follows the pixels' own arithmetic: one step at a time.
void StepOrigin(long double& origin, long double step, int times) {
    for (int i = 0; i < times; ++i) origin += step;
    for (int i = 0; i > times; --i) origin -= step;
}

}  // namespace

void ScrollView(ViewEngine& engine, int dx, int dy) {
    SetArithmeticMode();
    dx = std::clamp(dx, -ViewSize, ViewSize);
    dy = std::clamp(dy, -ViewSize, ViewSize);
    ViewState& view = engine.view;

    if (dy != 0) {
        MoveCounts(engine.counts, dy * ViewSize);
        StepOrigin(view.OriginIm, view.PixelStep, -dy);
        ComputeRows(engine, dy);
    }
    // The new rows were computed at the old real origin; the horizontal move
    // below shifts them with everything else, and the column strip covers
    // the corner that both moves uncovered.
    if (dx != 0) {
        MoveCounts(engine.counts, dx);
        StepOrigin(view.OriginRe, view.PixelStep, dx);
        ComputeColumns(engine, dx);
    }
}

}  // namespace qarn
