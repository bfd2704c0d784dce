#pragma once
#include <cstdint>

#include "engine/view_state.h"

namespace qarn {

// The escape-time iteration of one pixel, one operation at a time in the
// current x87 mode. Returns the number of the test at which |z|^2 first
// exceeds 4 (1 means c itself lies outside), or 0 when Depth tests pass
// without escape. The loop is the definition every faster path must match.
inline std::uint32_t EscapeCount(long double cr, long double ci, std::uint32_t depth) {
    long double x = cr;
    long double y = ci;
    std::uint32_t n = 0;
    for (;;) {
        const long double xx = x * x;
        const long double xy = x * y;
        const long double yy = y * y;
        ++n;
        if (xx + yy > EscapeBound) return n;
        if (n >= depth) return 0;
        x = xx - (yy - cr);
        y = (xy + xy) + ci;
    }
}

}  // namespace qarn
