#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "deep/dyadic_number.h"
#include "deep/wide_real.h"

namespace qarn::deep {

// One value of the reference orbit, rounded once (to nearest) from its
// high-precision value to the x87 80-bit format the differences use.
struct OrbitPoint {
    long double re;
    long double im;
};

// Magnitudes below this are kept as zero throughout the deep loop (orbit
// values, offsets, differences): every nonzero operand is then at least
// 2^-8000, so every product is at least 2^-16126 and no subnormal number is
// ever formed or used (the x87 normal range ends at 2^-16382). Deep views
// whose pixels are finer than this take the extended-range loop instead.
inline constexpr long double FlushBelow = 0x1p-8000L;

inline long double Flushed(long double value) { return (value < FlushBelow && value > -FlushBelow) ? 0.0L : value; }

// A value of the orbit with a nonzero part below FlushBelow (kept as 0 in
// the points): both parts rounded once to 64 bits with an unbounded
// exponent, for the loop of the deepest views.
struct TinyOrbitPoint {
    std::uint32_t m;
    WideReal re, im;
};

// Z_0 = 0, Z_1 = C, Z_{m+1} = Z_m^2 + C, computed in binary floating point
// of `precision` bits with every operation correctly rounded (MPFR), up to
// and including Z_M, where M is the first m with |Z_m|^2 > 4 (escaped) or
// the depth.
struct ReferenceOrbit {
    std::vector<OrbitPoint> points;  // Z_0 .. Z_M
    std::uint32_t length = 0;        // M
    bool escaped = false;
    long precision = 0;
    // Where the rounded values repeat exactly: Z_m = Z_{m - period} for every
    // m from tailStart + period to M (period 0: they do not). A difference at
    // m >= tailStart then has the same future as at tailStart + (m - tailStart)
    // mod period, until the orbit ends.
    std::uint32_t tailStart = 0;
    std::uint32_t period = 0;
    // In order of m: the values whose parts were flushed to 0.
    std::vector<TinyOrbitPoint> tiny;
    // Where the orbit's point lies, as an offset from the view's centre,
    // (offsetRe, offsetIm) 2^offsetExponent, in the same units as the pixel
    // offsets (0, 0 for the centre itself).
    long double offsetRe = 0.0L;
    long double offsetIm = 0.0L;
    std::int64_t offsetExponent = 0;
};

// The bits of the reference orbit for a view at `level` iterated to
// `depth`: the view's own 7 + L bits, the 64 of the differences, 64 more of
// margin, and 8 bits for each doubling of the depth (the rounding errors of
// an orbit of n iterations near the boundary grow with n; measured: counts
// stop changing well below this, see the deep tests).
long ReferencePrecision(std::int64_t level, std::uint32_t depth);

// Called now and then with the iterations done (of at most `depth`); returns
// false to stop the computation (which then returns an empty orbit).
using OrbitProgress = std::function<bool(std::uint32_t done)>;

// The orbit of re + i im + (offsetRe, offsetIm) 2^offsetExponent (the
// offsets added exactly).
ReferenceOrbit ComputeReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, long double offsetRe,
                                     long double offsetIm, std::uint32_t depth, long precision,
                                     const OrbitProgress& progress = {}, std::int64_t offsetExponent = 0);

// Sets tailStart and period from the rounded values (period 0 where they
// do not repeat; an orbit that escaped never repeats): the shortest period
// of at most half the length with which the values end, and where it
// starts. ComputeReferenceOrbit calls it; an orbit read back or cut to a
// smaller depth calls it again.
void FindRepeatingTail(ReferenceOrbit& orbit);

// Memory of the orbit's points: 32 bytes an iteration.
inline std::uint64_t OrbitBytes(const ReferenceOrbit& orbit) {
    return static_cast<std::uint64_t>(orbit.points.size()) * sizeof(OrbitPoint);
}

}  // namespace qarn::deep
