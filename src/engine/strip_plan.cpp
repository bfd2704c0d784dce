#include "engine/strip_plan.h"

namespace qarn {
namespace {

struct StripRange {
    int first;
    int length;
};

bool StripOf(int count, StripRange& range) {
    if (count == 0 || count < -ViewSize || count > ViewSize) return false;
    range = count < 0 ? StripRange{0, -count} : StripRange{ViewSize - count, count};
    return true;
}

// Coordinates advance one step at a time from the first one, never as
// origin plus index times step.
void StepRe(long double first, long double step, int from, int length, StripPlan& plan) {
    long double value = first;
    for (int i = 0; i < length; ++i) {
        plan.re[static_cast<std::size_t>(from + i)] = value;
        value += step;
    }
}

void StepIm(long double first, long double step, int from, int length, StripPlan& plan) {
    long double value = first;
    for (int i = 0; i < length; ++i) {
        plan.im[static_cast<std::size_t>(from + i)] = value;
        value -= step;
    }
}

// A negative strip starts at the origin; a positive one one product away from
// it, even a full-width one, whose product is 0 x step (NaN for an infinite
// step, which turns the whole strip black).
long double StripStart(long double origin, long double step, int first, bool positive, bool downwards) {
    if (!positive) return origin;
    const long double offset = static_cast<long double>(first) * step;
    return downwards ? origin - offset : origin + offset;
}

bool SteppedFromThese(const LineKey& line, long double start, long double step) {
    return line.valid && line.start == ToImage(start) && line.step == ToImage(step);
}

}  // namespace

bool PlanRows(const ViewState& view, int count, StripPlan& plan) {
    StripRange rows{};
    if (!StripOf(count, rows)) return false;
    plan.firstRow = rows.first;
    plan.rowCount = rows.length;
    plan.firstCol = 0;
    plan.colCount = ViewSize;
    StepIm(StripStart(view.OriginIm, view.PixelStep, rows.first, count > 0, true), view.PixelStep, rows.first,
           rows.length, plan);
    // The strip's imaginary parts were just stepped over the line's.
    plan.imLine = {ToImage(view.OriginIm), ToImage(view.PixelStep), count == -ViewSize};
    if (!SteppedFromThese(plan.reLine, view.OriginRe, view.PixelStep)) {
        StepRe(view.OriginRe, view.PixelStep, 0, ViewSize, plan);
        plan.reLine = {ToImage(view.OriginRe), ToImage(view.PixelStep), true};
    }
    return true;
}

bool PlanColumns(const ViewState& view, int count, StripPlan& plan) {
    StripRange cols{};
    if (!StripOf(count, cols)) return false;
    plan.firstRow = 0;
    plan.rowCount = ViewSize;
    plan.firstCol = cols.first;
    plan.colCount = cols.length;
    StepRe(StripStart(view.OriginRe, view.PixelStep, cols.first, count > 0, false), view.PixelStep, cols.first,
           cols.length, plan);
    plan.reLine = {ToImage(view.OriginRe), ToImage(view.PixelStep), count == -ViewSize};
    if (!SteppedFromThese(plan.imLine, view.OriginIm, view.PixelStep)) {
        StepIm(view.OriginIm, view.PixelStep, 0, ViewSize, plan);
        plan.imLine = {ToImage(view.OriginIm), ToImage(view.PixelStep), true};
    }
    return true;
}

}  // namespace qarn
