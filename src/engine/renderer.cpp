#include "engine/renderer.h"

#include <algorithm>
#include <thread>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"
#include "engine/x87_lanes.h"

namespace qarn {
namespace {

std::size_t Index(int row, int col) { return static_cast<std::size_t>(row * ViewSize + col); }

unsigned HardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

// Strips this thin are computed by the calling thread alone: waking the
// workers would cost more than it gains (a scroll by a few pixels).
constexpr int LinesForWorkers = 8;


}  // namespace

Renderer::Renderer(unsigned threads, RenderPath path, int maxWidth)
    : path_(HasX87 ? path : RenderPath::Portable),
      reDouble_(static_cast<std::size_t>(std::max(maxWidth, ViewSize))),
      imDouble_(ViewSize) {
    const unsigned total = threads == 0 ? HardwareThreads() : threads;
    workers_.reserve(total - 1);
    for (unsigned i = 1; i < total; ++i) workers_.emplace_back([this] { Work(); });
}

Renderer::~Renderer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void Renderer::Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts) {
    PixelGrid grid;
    grid.re = &plan.re[static_cast<std::size_t>(plan.firstCol)];
    grid.im = &plan.im[static_cast<std::size_t>(plan.firstRow)];
    grid.width = plan.colCount;
    grid.height = plan.rowCount;
    grid.out = &counts[Index(plan.firstRow, plan.firstCol)];
    grid.stride = ViewSize;
    grid.byRows = plan.colCount == ViewSize;
    Compute(grid, depth);
}

bool Renderer::Compute(const PixelGrid& grid, std::uint32_t depth) {
    if (grid.width <= 0 || grid.height <= 0) return false;
    if (grid.byRows ? static_cast<std::size_t>(grid.width) > reDouble_.size() : grid.height > ViewSize) return false;
    SetArithmeticMode();
    const int lines = grid.byRows ? grid.height : grid.width;
    pass_ = {grid, depth};
    linesTotal_.store(lines, std::memory_order_relaxed);
    linesDone_.store(0, std::memory_order_relaxed);
    nextLine_.store(0, std::memory_order_relaxed);
    if (path_ == RenderPath::Fast) PrepareDoubles();

    if (workers_.empty() || lines < LinesForWorkers) {
        RunLines();
        return true;
    }
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        working_ = static_cast<unsigned>(workers_.size());
    }
    wake_.notify_all();
    RunLines();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return working_ == 0; });
    return true;
}

void Renderer::Work() {
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        // Each thread has its own control word, and may start at 53 bits.
        SetArithmeticMode();
        RunLines();
        {
            std::lock_guard lock(mutex_);
            --working_;
        }
        finished_.notify_one();
    }
}

void Renderer::PrepareDoubles() {
    const PixelGrid& grid = pass_.grid;
    auto convert = [](const long double* from, double* to, int n) {
        bool exact = true;
        for (int i = 0; i < n; ++i) {
            to[i] = static_cast<double>(from[i]);
            exact = exact && static_cast<long double>(to[i]) == from[i];  // false for NaN
        }
        return exact;
    };
    // Only the varying part of each line is read as doubles.
    reExact_ = grid.byRows && convert(grid.re, reDouble_.data(), grid.width);
    imExact_ = !grid.byRows && convert(grid.im, imDouble_.data(), grid.height);
}

// Threads take whole lines, one at a time, until none is left.
void Renderer::RunLines() {
    const PixelGrid& grid = pass_.grid;
    const int lines = grid.byRows ? grid.height : grid.width;
    for (int line = nextLine_.fetch_add(1); line < lines; line = nextLine_.fetch_add(1)) {
        ComputeLine(line);
        linesDone_.fetch_add(1, std::memory_order_relaxed);
    }
}

void Renderer::ComputeLine(int line) {
    const PixelGrid& grid = pass_.grid;
    const bool byRows = grid.byRows;
    const int length = byRows ? grid.width : grid.height;
    // Along a row the real part varies and the imaginary part is shared;
    // along a column the other way round.
    const long double* re = byRows ? grid.re : &grid.re[line];
    const long double* im = byRows ? &grid.im[line] : grid.im;
    std::uint32_t* out = byRows ? &grid.out[line * grid.stride] : &grid.out[line];
    const std::ptrdiff_t reStep = byRows ? 1 : 0;
    const std::ptrdiff_t imStep = byRows ? 0 : 1;
    const std::ptrdiff_t outStep = byRows ? 1 : grid.stride;

#if defined(__x86_64__)
    if (path_ == RenderPath::Fast && pass_.depth > 0) {
        // The kernels write a contiguous line; a column is gathered here and
        // spread into the buffer afterwards.
        std::uint32_t column[ViewSize];
        X87LineJob job = MakeX87Job();
        job.out = byRows ? out : column;
        job.count = length;
        job.depth = pass_.depth;
        job.shared = byRows ? *im : *re;
        job.shared64 = static_cast<double>(job.shared);
        const bool exact = (byRows ? reExact_ : imExact_) && static_cast<long double>(job.shared64) == job.shared;
        if (byRows)
            job.varying = exact ? static_cast<const void*>(reDouble_.data()) : re;
        else
            job.varying = exact ? static_cast<const void*>(imDouble_.data()) : im;
        (byRows ? (exact ? QarnX87RowDouble : QarnX87Row) : (exact ? QarnX87ColumnDouble : QarnX87Column))(&job);
        if (!byRows)
            for (int i = 0; i < length; ++i) out[i * outStep] = column[i];
        // The rare pixels whose squared modulus came within a double's
        // rounding of the bound are decided with the exact comparison.
        for (int i = 0; i < length; ++i) {
            std::uint32_t& count = out[i * outStep];
            if (count == NeedsExactCount) count = EscapeCount(re[i * reStep], im[i * imStep], pass_.depth);
        }
        return;
    }
#endif
    for (int i = 0; i < length; ++i) out[i * outStep] = EscapeCount(re[i * reStep], im[i * imStep], pass_.depth);
}

void ComputeRowsReference(const ViewState& view, IterationBuffer& counts, int count) {
    if (count == 0 || count < -ViewSize || count > ViewSize) return;
    SetArithmeticMode();
    int row = 0;
    int last = -count - 1;
    long double ci = view.OriginIm;
    if (count > 0) {
        row = ViewSize - count;
        last = ViewSize - 1;
        ci = view.OriginIm - static_cast<long double>(row) * view.PixelStep;
    }
    for (; row <= last; ++row) {
        long double cr = view.OriginRe;
        for (int col = 0; col < ViewSize; ++col) {
            counts[Index(row, col)] = EscapeCount(cr, ci, view.Depth);
            cr += view.PixelStep;
        }
        ci -= view.PixelStep;
    }
}

void ComputeColumnsReference(const ViewState& view, IterationBuffer& counts, int count) {
    if (count == 0 || count < -ViewSize || count > ViewSize) return;
    SetArithmeticMode();
    int col = 0;
    int last = -count - 1;
    long double cr = view.OriginRe;
    if (count > 0) {
        col = ViewSize - count;
        last = ViewSize - 1;
        cr = view.OriginRe + static_cast<long double>(col) * view.PixelStep;
    }
    for (; col <= last; ++col) {
        long double ci = view.OriginIm;
        for (int row = 0; row < ViewSize; ++row) {
            counts[Index(row, col)] = EscapeCount(cr, ci, view.Depth);
            ci -= view.PixelStep;
        }
        cr += view.PixelStep;
    }
}

}  // namespace qarn
