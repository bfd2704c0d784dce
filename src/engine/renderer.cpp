#include "engine/renderer.h"

#include <thread>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"

namespace qarn {
namespace {

std::size_t Index(int row, int col) { return static_cast<std::size_t>(row * ViewSize + col); }

unsigned HardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace

Renderer::Renderer(unsigned threads) : threads_(threads == 0 ? HardwareThreads() : threads) {}

void Renderer::Compute(const StripPlan& plan, std::uint32_t depth, IterationBuffer& counts) {
    SetArithmeticMode();
    const bool byRows = plan.colCount == ViewSize;
    linesTotal_.store(byRows ? plan.rowCount : plan.colCount, std::memory_order_relaxed);
    linesDone_.store(0, std::memory_order_relaxed);
    if (byRows) {
        for (int row = plan.firstRow; row < plan.firstRow + plan.rowCount; ++row) {
            const long double ci = plan.im[static_cast<std::size_t>(row)];
            for (int col = 0; col < ViewSize; ++col)
                counts[Index(row, col)] = EscapeCount(plan.re[static_cast<std::size_t>(col)], ci, depth);
            linesDone_.fetch_add(1, std::memory_order_relaxed);
        }
    } else {
        for (int col = plan.firstCol; col < plan.firstCol + plan.colCount; ++col) {
            const long double cr = plan.re[static_cast<std::size_t>(col)];
            for (int row = 0; row < ViewSize; ++row)
                counts[Index(row, col)] = EscapeCount(cr, plan.im[static_cast<std::size_t>(row)], depth);
            linesDone_.fetch_add(1, std::memory_order_relaxed);
        }
    }
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
