#pragma once
#include <cstdint>

#include "engine/escape_state.h"
#include "engine/view_state.h"

namespace qarn {

// The escape-time count (EscapeCount), also giving the state its escaping
// test found beyond the bound (see EscapeState): the definition of every
// path's counts and states.
inline std::uint32_t EscapeCountWithState(long double cr, long double ci, std::uint32_t depth, EscapeState& state) {
    long double x = cr;
    long double y = ci;
    std::uint32_t n = 0;
    for (;;) {
        const long double xx = x * x;
        const long double xy = x * y;
        const long double yy = y * y;
        ++n;
        if (xx + yy > EscapeBound) {
            state = {static_cast<double>(x), static_cast<double>(y)};
            return n;
        }
        if (n >= depth) {
            state = {0.0, 0.0};
            return 0;
        }
        x = xx - (yy - cr);
        y = (xy + xy) + ci;
    }
}

// The escape-time iteration of one pixel, one operation at a time in the
// current x87 mode. Returns the number of the test at which |z|^2 first
// exceeds 4 (1 means c itself lies outside), or 0 when Depth tests pass
// without escape. The loop is the definition every faster path must match.
inline std::uint32_t EscapeCount(long double cr, long double ci, std::uint32_t depth) {
    EscapeState unused;
    return EscapeCountWithState(cr, ci, depth, unused);
}

// What one pixel costs: its count and the escape tests it ran.
struct PixelWork {
    std::uint32_t count;
    std::uint32_t tests;
};

// The count of EscapeCount, with the exact early exits the fast paths take:
// a c with a NaN part never escapes, and an orbit that comes back to an
// earlier 80-bit state (x, y) repeats forever. Both comparisons are the
// x87's own, so a real the unit refuses (an unnormal, a pseudo-NaN) counts
// as NaN, and +0 equals -0 (states equal up to the signs of zeros have equal
// values, and so the same future). States are saved after tests 1, 2, 4, 8,
// ... and every later state is compared with the last one saved.
namespace detail {
template <bool WithState>
PixelWork EscapeCountWithExits(long double cr, long double ci, std::uint32_t depth, EscapeState* state) {
    if constexpr (WithState) *state = {0.0, 0.0};
    if (cr != cr || ci != ci) return {0, 0};
    long double x = cr;
    long double y = ci;
    long double savedX = 0.0L;
    long double savedY = 0.0L;
    bool saved = false;
    std::uint32_t n = 0;
    std::uint64_t nextSave = 1;
    for (;;) {
        const long double xx = x * x;
        const long double xy = x * y;
        const long double yy = y * y;
        ++n;
        if (xx + yy > EscapeBound) {
            if constexpr (WithState) *state = {static_cast<double>(x), static_cast<double>(y)};
            return {n, n};
        }
        if (n >= depth) return {0, n};
        x = xx - (yy - cr);
        y = (xy + xy) + ci;
        if (saved && x == savedX && y == savedY) return {0, n};
        if (n == nextSave) {
            savedX = x;
            savedY = y;
            saved = true;
            nextSave *= 2;
        }
    }
}
}  // namespace detail

inline PixelWork EscapeCountWithExits(long double cr, long double ci, std::uint32_t depth) {
    return detail::EscapeCountWithExits<false>(cr, ci, depth, nullptr);
}

// The same, with the state of EscapeCountWithState.
inline PixelWork EscapeCountWithExits(long double cr, long double ci, std::uint32_t depth, EscapeState& state) {
    return detail::EscapeCountWithExits<true>(cr, ci, depth, &state);
}

}  // namespace qarn
