#pragma once

namespace qarn {

// Where an escaping orbit stood: the doubles nearest (rounded to nearest)
// the 80-bit state (x, y) whose test found xx + yy > 4, for count 1 the
// coordinates of c itself. A point with count 0 has the state {0, 0}.
struct EscapeState {
    double x;
    double y;
};

}  // namespace qarn
