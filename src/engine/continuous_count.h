#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/escape_state.h"

namespace qarn {

// log2 of a binary64 value from basic IEEE operations in a fixed order, the
// same bits on every machine and system. Error within 1 ulp: the result is
// one of the two doubles around the exact logarithm (checked against MPFR in
// the oracle tests). Exact for powers of two. Log2(+0) is -inf, Log2(+inf)
// +inf, negative numbers and NaN give NaN.
[[nodiscard]] double Log2(double v);

// The most steps the continuous count takes to carry an escaped orbit out
// to |z| > 1024. No orbit that has left the disc of radius 2 by more than a
// rounding needs more than a few dozen; a state the rounding to doubles puts
// back on a repelling orbit (c = -2 - 2^-62 stays at z = 2 forever) stops
// here and takes mu = n.
inline constexpr int MaxContinuousSteps = 256;

// The continuous count mu of a point with count n >= 1, escape state
// (x, y) (its doubles X, Y) and c's parts as the doubles nearest them (a, b),
// in binary64 with every operation rounded to nearest and no fused
// multiply-add:
//
//   k = 0
//   while X*X + Y*Y <= 2^20 (|z| <= 1024) and k < MaxContinuousSteps:
//       T = X*Y;  X = X*X - (Y*Y - a);  Y = (T + T) + b;  k = k + 1
//   mu = (n + k + 2) - Log2(Log2(X*X + Y*Y))
//
// and mu = n where X*X + Y*Y is not finite or the steps run out. mu lies
// within about one of n and is continuous across the edge between two
// counts. Count 0 gives 0.
[[nodiscard]] double ContinuousCount(std::uint32_t count, EscapeState state, double a, double b);

// The same with c given as the 80-bit coordinates the passes iterate.
[[nodiscard]] inline double ContinuousCount(std::uint32_t count, EscapeState state, long double cr, long double ci) {
    return ContinuousCount(count, state, static_cast<double>(cr), static_cast<double>(ci));
}

// The continuous counts of a line of points (counts, escape states and c's
// real parts as doubles, one imaginary part b) into mu, several points at a
// time: `width` points (1, 2 with SSE2, 4 with AVX2, 8 with AVX-512F; 0 for
// the widest the processor has). Every width gives ContinuousCount's bits.
void ContinuousCountLine(const std::uint32_t* counts, const EscapeState* states, const double* re, double b,
                         double* mu, std::size_t length, int width = 0);

// Whether this build and processor run a width (1 always).
[[nodiscard]] bool HasContinuousCountWidth(int width);

}  // namespace qarn
