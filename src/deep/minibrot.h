#pragma once
#include <cstdint>
#include <optional>

#include "deep/dyadic_number.h"

namespace qarn::deep {

// A minibrot: the nucleus c0 of period p (z_p(c0) = 0 with z_0 = 0,
// z_{n+1} = z_n^2 + c), and its size estimate.
struct Minibrot {
    DyadicNumber re;
    DyadicNumber im;
    std::int64_t period = 0;
    std::int64_t sizeLog2 = 0;   // floor(log2 of the size estimate)
    double size = 0.0;           // the estimate's mantissa times 2^sizeLog2: size / 2^sizeLog2 in [1, 2)
    std::int64_t precision = 0;  // bits of the Newton iteration that found it
};

// The lowest-period minibrot in the disc |c - centre| <= radius, radius =
// 2^radiusLog2 x radiusScale (radiusScale in [1, 2]). The period is the first
// n < maxPeriod at which the disc's image under z_n (a ball: centre orbit
// z_n, radius r_{n+1} = (2|z_n| + r_n) r_n + radius, which bounds every
// point's z_n) holds 0; its nucleus is found by Newton's method,
// c <- c - z_p(c) / z_p'(c) with z_{n+1}' = 2 z_n z_n' + 1, in MPFR at
// `precision` bits, then again at more bits if the minibrot is much
// smaller than the disc; the size is the estimate |1 / (beta lambda^2)|
// with lambda = prod_{j<p} 2 z_j and beta = sum_{i<p} prod_{j<=i} 1/(2 z_j)
// (1 for the empty product), at the nucleus. nullopt where the ball
// escapes or reaches maxPeriod first, or Newton does not settle.
[[nodiscard]] std::optional<Minibrot> FindMinibrot(const DyadicNumber& centreRe, const DyadicNumber& centreIm,
                                                   std::int64_t radiusLog2, double radiusScale, std::int64_t maxPeriod,
                                                   std::int64_t precision);

}  // namespace qarn::deep
