// The continuous count 8 points at a time, for processors with AVX-512F.
#include "engine/continuous_count_lanes.h"

namespace qarn::lanes {

void MuLine8(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length) {
    MuLine<8, 4>(counts, states, re, b, mu, length);
}

}  // namespace qarn::lanes
