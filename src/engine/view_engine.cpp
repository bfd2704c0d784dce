#include "engine/view_engine.h"

#include "engine/arithmetic_mode.h"

namespace qarn {
namespace {

using Planner = bool (*)(const ViewState&, int, StripPlan&);

void ComputeStrip(ViewEngine& engine, int count, Planner planner) {
    // The strip's coordinates are computed here too, so the mode comes first.
    SetArithmeticMode();
    engine.ComputedDepth = engine.view.Depth;
    if (planner(engine.view, count, engine.plan))
        engine.renderer.Compute(engine.plan, engine.view.Depth, engine.counts);
}

}  // namespace

void ComputeRows(ViewEngine& engine, int count) { ComputeStrip(engine, count, PlanRows); }
void ComputeColumns(ViewEngine& engine, int count) { ComputeStrip(engine, count, PlanColumns); }

}  // namespace qarn
