#pragma once
#include <cstdint>

#include "engine/escape_state.h"

namespace qarn {

// The mirror. For each of n imaginary parts in monotone order (each no
// greater than the one before, or each no less), source[i] is a j whose
// im[j] is the exact negation of im[i] (the same 80 bits but the sign),
// where im[i] is negative (sign bit set, not zero, not NaN) and such a j
// exists; else -1. Points (x, -y) and (x, y) have the same count, and
// escape states of negated y: see the proof in row_mirror.cpp. Values out
// of order, NaNs or values the x87 refuses give no sources at all.
void FindMirrorSources(const long double* im, int n, int* source);

// The state of a point mirrored from one whose count is `count` and state
// `from`, or false where the mirror cannot tell it (an escaping orbit
// whose y is zero as a double: its sign there is not determined by the
// partner's), and the point must be computed.
bool MirroredState(std::uint32_t count, const EscapeState& from, EscapeState& to);

}  // namespace qarn
