#pragma once
#include <atomic>
#include <cstdint>

#include "engine/iteration_buffer.h"
#include "engine/strip_plan.h"

namespace qarn {

// Evaluates the pixels of planned strips into the IterationBuffer. Every
// count equals EscapeCount of the pixel's planned coordinates, bit for bit.
class Renderer {
public:
    // threads 0: one per hardware thread.
    explicit Renderer(unsigned threads = 0);
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts);

    unsigned Threads() const { return threads_; }

    // Lines (rows or columns) of the running pass finished so far, and the
    // pass's total; readable from another thread for a progress display.
    int LinesDone() const { return linesDone_.load(std::memory_order_relaxed); }
    int LinesTotal() const { return linesTotal_.load(std::memory_order_relaxed); }

private:
    unsigned threads_;
    std::atomic<int> linesDone_{0};
    std::atomic<int> linesTotal_{0};
};

// The passes exactly as defined, one pixel at a time on the calling thread:
// the yardstick for the tests and the benchmark.
void ComputeRowsReference(const ViewState& view, IterationBuffer& counts, int count);
void ComputeColumnsReference(const ViewState& view, IterationBuffer& counts, int count);

}  // namespace qarn
