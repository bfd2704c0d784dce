#pragma once
#include <cstdint>

#include "engine/iteration_buffer.h"
#include "engine/renderer.h"
#include "engine/view_state.h"

namespace qarn {

// The state the view engine owns: the view, its escape counts and the
// bookkeeping of the last computation. Large (1 MiB of counts): the program
// holds one instance for its whole life.
struct ViewEngine {
    explicit ViewEngine(unsigned threads = 0, RenderPath path = RenderPath::Fast) : renderer(threads, path) {}

    ViewState view;
    IterationBuffer counts{};
    std::uint32_t ComputedDepth = 0;  // Depth of the last pass, full or partial
    Renderer renderer;
    StripPlan plan;  // kept: a scroll along a line of coordinates reuses it
};

// Row pass: count < 0 computes rows 0 .. |count|-1, count > 0 the last count
// rows. Column pass likewise for columns. Both set ComputedDepth to Depth.
void ComputeRows(ViewEngine& engine, int count);
void ComputeColumns(ViewEngine& engine, int count);

}  // namespace qarn
