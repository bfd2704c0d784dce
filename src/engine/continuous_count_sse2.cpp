// The continuous count 2 points at a time, for processors with SSE2.
#include "engine/continuous_count_lanes.h"

namespace qarn::lanes {

void MuLine2(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length) {
    MuLine<2, 6>(counts, states, re, b, mu, length);
}

}  // namespace qarn::lanes
