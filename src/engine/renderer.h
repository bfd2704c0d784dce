#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/iteration_buffer.h"
#include "engine/strip_plan.h"

namespace qarn {

enum class RenderPath {
    Fast,      // the x87 kernel where the machine has one, else Portable
    Portable,  // plain C++, one pixel at a time
};

// Evaluates the pixels of planned strips into the IterationBuffer. Every
// count equals EscapeCount of the pixel's planned coordinates, bit for bit,
// whatever the path and the number of threads. Large passes are spread over
// a pool of workers made once; the call returns when the pass is complete.
class Renderer {
public:
    // threads 0: one per hardware thread.
    explicit Renderer(unsigned threads = 0, RenderPath path = RenderPath::Fast);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts);

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }
    RenderPath Path() const { return path_; }

    // Lines (rows or columns) of the running pass finished so far, and the
    // pass's total; readable from another thread for a progress display.
    int LinesDone() const { return linesDone_.load(std::memory_order_relaxed); }
    int LinesTotal() const { return linesTotal_.load(std::memory_order_relaxed); }

private:
    struct Pass {
        const StripPlan* plan = nullptr;
        std::uint32_t depth = 0;
        IterationBuffer* counts = nullptr;
    };

    void PrepareDoubles();
    void RunLines();
    void ComputeLine(int line);
    void Work();

    RenderPath path_;
    Pass pass_;
    // The plan's coordinates as doubles, where every one of them is exactly
    // a double: the fast kernels then read them as cheap memory operands.
    std::array<double, ViewSize> reDouble_{};
    std::array<double, ViewSize> imDouble_{};
    bool reExact_ = false;
    bool imExact_ = false;
    std::atomic<int> nextLine_{0};
    std::atomic<int> linesDone_{0};
    std::atomic<int> linesTotal_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::uint64_t generation_ = 0;
    unsigned working_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// The passes exactly as defined, one pixel at a time on the calling thread:
// the yardstick for the tests and the benchmark.
void ComputeRowsReference(const ViewState& view, IterationBuffer& counts, int count);
void ComputeColumnsReference(const ViewState& view, IterationBuffer& counts, int count);

}  // namespace qarn
