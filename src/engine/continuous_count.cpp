#include "engine/continuous_count.h"

#include <bit>
#include <limits>

#include "engine/continuous_count_lanes.h"
#include "engine/processor_features.h"

namespace qarn {
namespace {

// 1/ln 2 as a 32-bit head and the double nearest the rest: a head of at most
// 21 bits times InvLn2Hi is exact.
using lanes::InvLn2Hi;
using lanes::InvLn2Lo;
using lanes::Sqrt2;

// ln(1 + f) = 2 atanh(s), s = f / (2 + f): 2s + s * R(s^2) with
// R(z) = sum of 2 z^k / (2k + 1), k = 1 .. 11. |s| <= 0.1716 for m in
// [sqrt(1/2), sqrt(2)), so z <= 0.0295 and the first term left out weighs
// below 2^-60 of the result.
using lanes::Series;

constexpr std::uint64_t ExponentMask = 0x7FF0000000000000u;
constexpr std::uint64_t FractionMask = 0x000FFFFFFFFFFFFFu;
constexpr std::uint64_t ExponentOfOne = 0x3FF0000000000000u;

}  // namespace

double Log2(double v) {
    if (!(v > 0.0))
        return v == 0.0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    if (v == std::numeric_limits<double>::infinity()) return v;
    int e = 0;
    std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    if ((bits & ExponentMask) == 0) {  // subnormal: scale into the normal range, exactly
        bits = std::bit_cast<std::uint64_t>(v * 0x1p54);
        e = -54;
    }
    e += static_cast<int>(bits >> 52) - 1023;
    // v = 2^e m with m in [sqrt(1/2), sqrt(2)).
    double m = std::bit_cast<double>((bits & FractionMask) | ExponentOfOne);
    if (m >= Sqrt2) {
        m *= 0.5;
        ++e;
    }
    const double f = m - 1.0;  // exact: m lies within a factor 2 of 1
    const double hfsq = 0.5 * f * f;
    const double s = f / (2.0 + f);
    const double z = s * s;
    // R by Estrin's scheme, in this order: pairs, then pairs of pairs by
    // z^2, z^4 and z^8 (a quarter of Horner's chain of dependent steps).
    const double z2 = z * z;
    const double z4 = z2 * z2;
    const double z8 = z4 * z4;
    const double p01 = Series[0] + Series[1] * z;
    const double p23 = Series[2] + Series[3] * z;
    const double p45 = Series[4] + Series[5] * z;
    const double p67 = Series[6] + Series[7] * z;
    const double p89 = Series[8] + Series[9] * z;
    const double q0 = p01 + p23 * z2;
    const double q1 = p45 + p67 * z2;
    const double q2 = p89 + Series[10] * z2;
    const double r = z * ((q0 + q1 * z4) + q2 * z8);
    // ln m = f - hfsq + s (hfsq + R), an identity; its head hi keeps 21 bits
    // so that hi / ln 2's head product is exact.
    const double hi = std::bit_cast<double>(std::bit_cast<std::uint64_t>(f - hfsq) & 0xFFFFFFFF00000000u);
    const double lo = ((f - hi) - hfsq) + s * (hfsq + r);
    double valueHi = hi * InvLn2Hi;
    double valueLo = (lo + hi) * InvLn2Lo + lo * InvLn2Hi;
    // e + valueHi as a head and a tail (exact: |valueHi| <= 1/2 <= |e|
    // unless e is 0).
    const double y = e;
    const double w = y + valueHi;
    valueLo += (y - w) + valueHi;
    valueHi = w;
    return valueLo + valueHi;
}

double ContinuousCount(std::uint32_t count, EscapeState state, double a, double b) {
    if (count == 0) return 0.0;
    double x = state.x;
    double y = state.y;
    int k = 0;
    while (x * x + y * y <= 0x1p20) {
        if (k == MaxContinuousSteps) return count;
        const double t = x * y;
        x = x * x - (y * y - a);
        y = (t + t) + b;
        ++k;
    }
    const double r2 = x * x + y * y;
    if (!(r2 < std::numeric_limits<double>::infinity())) return count;
    return static_cast<double>(std::uint64_t{count} + static_cast<unsigned>(k) + 2u) - Log2(Log2(r2));
}

void ContinuousCountLine(const std::uint32_t* counts, const EscapeState* states, const double* re, double b,
                         double* mu, std::size_t length, int width) {
    if (width == 0) width = HasContinuousCountWidth(8) ? 8 : HasContinuousCountWidth(4) ? 4 : 2;
    switch (width) {
#if QARN_WIDE_LANES
    case 8: lanes::MuLine8(counts, states, re, b, mu, length); return;
    case 4: lanes::MuLine4(counts, states, re, b, mu, length); return;
#endif
    case 2: lanes::MuLine2(counts, states, re, b, mu, length); return;
    default:
        for (std::size_t i = 0; i < length; ++i) mu[i] = ContinuousCount(counts[i], states[i], re[i], b);
    }
}

bool HasContinuousCountWidth(int width) {
    switch (width) {
    case 1:
    case 2: return true;
#if QARN_WIDE_LANES
    case 4: return HasAvx2();
    case 8: return HasAvx512f();
#endif
    default: return false;
    }
}

}  // namespace qarn
