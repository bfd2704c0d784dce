// The continuous count 4 points at a time, for processors with AVX2.
#include "engine/continuous_count_lanes.h"

namespace qarn::lanes {

void MuLine4(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length) {
    MuLine<4, 4>(counts, states, re, b, mu, length);
}

}  // namespace qarn::lanes
