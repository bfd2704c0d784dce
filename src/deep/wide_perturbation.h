#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "deep/bla_table.h"
#include "deep/perturbation.h"
#include "deep/reference_orbit.h"
#include "deep/wide_real.h"
#include "engine/escape_state.h"

namespace qarn::deep {

// The loop of the views past MaxLoopLevel: DeepCount's operations in the
// same order, on WideReal values (differences, offsets and the orbit's
// values, its tiny ones included), so that no exponent runs out at any
// level and nothing is flushed. Each operation is rounded once to 64 bits,
// as DeepCount's are wherever its values stay within the x87 range.
std::uint32_t WideCount(const ReferenceOrbit& orbit, const BlaTable* table, WideReal dcRe, WideReal dcIm,
                        std::uint32_t depth, EscapeState* state, DeepWork* work);

// The points of a grid given as offsets from the view's centre in units of
// 2^exponent: point (i, j) is C + (unitsRe[i], unitsIm[j]) 2^exponent.
struct WideGrid {
    std::span<const long double> unitsRe;
    std::span<const long double> unitsIm;
    std::int64_t exponent = 0;
};

// Counts (and escape states, where asked) of a grid's points through
// WideCount, written at j * unitsRe.size() + i, on `threads` threads; the
// results do not depend on their number. `rowDone` and `stop` as
// DeepRenderer's.
DeepWork WideRender(unsigned threads, const ReferenceOrbit& orbit, const BlaTable* table, const WideGrid& grid,
                    std::uint32_t depth, std::span<std::uint32_t> counts, std::span<EscapeState> states = {},
                    const std::function<void(int)>& rowDone = {}, const std::function<bool()>& stop = {});

// An upper bound of |dc| over the grid's points, for the table: at least
// 2^-16000 (a larger bound only narrows the table's radii).
long double WideMaxDifference(const ReferenceOrbit& orbit, const WideGrid& grid);

// ChooseReferenceOrbit for a WideGrid: the same sample, counted by WideCount.
ReferenceOrbit ChooseWideReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, const WideGrid& grid,
                                        std::uint32_t depth, long precision, const OrbitProgress& progress = {});

}  // namespace qarn::deep
