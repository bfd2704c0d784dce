#include "deep/reference_orbit.h"

#include <gmp.h>
#include <mpfr.h>

#include <bit>

#include "deep/dyadic_text.h"

namespace qarn::deep {
namespace {

class Mpfr {
public:
    explicit Mpfr(long precision) { mpfr_init2(value, precision); }
    ~Mpfr() { mpfr_clear(value); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;
    mpfr_t value;
};

long BitsOf(const DyadicNumber& number) { return static_cast<long>(number.magnitude.size()) * 64 + 2; }

long double Rounded(const mpfr_t value) {
    if (mpfr_zero_p(value) || mpfr_get_exp(value) < -7999) return 0.0L;
    return Flushed(mpfr_get_ld(value, MPFR_RNDN));
}

WideReal WideRounded(const mpfr_t value) {
    if (mpfr_zero_p(value)) return {};
    long exponent = 0;
    const long double mantissa = mpfr_get_ld_2exp(&exponent, value, MPFR_RNDN);  // 64 bits, in [1/2, 1)
    return Wide(mantissa, exponent);
}

bool WasFlushed(const mpfr_t value, long double rounded) { return rounded == 0.0L && !mpfr_zero_p(value); }

bool Same(const OrbitPoint& a, const OrbitPoint& b) { return a.re == b.re && a.im == b.im; }

}  // namespace

// The shortest period of the rounded values at the orbit's end (up to half
// its length), and where that repetition starts.
void FindRepeatingTail(ReferenceOrbit& orbit) {
    orbit.tailStart = 0;
    orbit.period = 0;
    const std::uint32_t last = orbit.length;
    if (orbit.escaped || last < 4) return;
    const std::vector<OrbitPoint>& z = orbit.points;
    for (std::uint32_t p = 1; p <= last / 2; ++p) {
        if (!Same(z[last], z[last - p])) continue;
        std::uint32_t m = last;
        while (m - p >= 1 + p && Same(z[m - 1], z[m - 1 - p])) --m;
        // z[m'] == z[m' - p] for every m' from m to last.
        if (last - m < 2 * p) return;  // too short a repetition to rely on
        orbit.period = p;
        orbit.tailStart = m - p;
        return;
    }
}

long ReferencePrecision(std::int64_t level, std::uint32_t depth) {
    return static_cast<long>(level) + 7 + 64 + 64 + 8 * static_cast<long>(std::bit_width(depth));
}

ReferenceOrbit ComputeReferenceOrbit(const DyadicNumber& re, const DyadicNumber& im, long double offsetRe,
                                     long double offsetIm, std::uint32_t depth, long precision,
                                     const OrbitProgress& progress, std::int64_t offsetExponent) {
    ReferenceOrbit orbit;
    orbit.precision = precision;
    orbit.offsetRe = offsetRe;
    orbit.offsetIm = offsetIm;
    orbit.offsetExponent = offsetExponent;
    // C itself, rounded once to `precision` bits after the exact sums.
    Mpfr cr(precision), ci(precision);
    {
        Mpfr exactRe(BitsOf(re)), exactIm(BitsOf(im)), offset(64);
        SetMpfr(exactRe.value, re);
        SetMpfr(exactIm.value, im);
        mpfr_set_ld(offset.value, offsetRe, MPFR_RNDN);
        mpfr_mul_2si(offset.value, offset.value, offsetExponent, MPFR_RNDN);
        mpfr_add(cr.value, exactRe.value, offset.value, MPFR_RNDN);
        mpfr_set_ld(offset.value, offsetIm, MPFR_RNDN);
        mpfr_mul_2si(offset.value, offset.value, offsetExponent, MPFR_RNDN);
        mpfr_add(ci.value, exactIm.value, offset.value, MPFR_RNDN);
    }
    Mpfr x(precision), y(precision), xx(precision), yy(precision), xy(precision), sum(precision);
    mpfr_set_zero(x.value, 1);
    mpfr_set_zero(y.value, 1);
    // The squares of Z_{m-1}: those of the escape test before, kept for the
    // step (the same values, computed once).
    mpfr_set_zero(xx.value, 1);
    mpfr_set_zero(yy.value, 1);
    orbit.points.reserve(static_cast<std::size_t>(depth) + 1 < (std::size_t{1} << 20) ? depth + std::size_t{1}
                                                                                      : std::size_t{1} << 20);
    orbit.points.push_back({0.0L, 0.0L});
    for (std::uint32_t m = 1;; ++m) {
        // Z_m = Z_{m-1}^2 + C (Z_1 = C).
        mpfr_mul(xy.value, x.value, y.value, MPFR_RNDN);
        mpfr_sub(sum.value, xx.value, yy.value, MPFR_RNDN);
        mpfr_add(x.value, sum.value, cr.value, MPFR_RNDN);
        mpfr_mul_2ui(xy.value, xy.value, 1, MPFR_RNDN);
        mpfr_add(y.value, xy.value, ci.value, MPFR_RNDN);
        const OrbitPoint point{Rounded(x.value), Rounded(y.value)};
        orbit.points.push_back(point);
        if (WasFlushed(x.value, point.re) || WasFlushed(y.value, point.im))
            orbit.tiny.push_back({m, WideRounded(x.value), WideRounded(y.value)});
        mpfr_sqr(xx.value, x.value, MPFR_RNDN);
        mpfr_sqr(yy.value, y.value, MPFR_RNDN);
        mpfr_add(sum.value, xx.value, yy.value, MPFR_RNDN);
        if (mpfr_cmp_ui(sum.value, 4) > 0) {
            orbit.length = m;
            orbit.escaped = true;
            break;
        }
        if (m >= depth) {
            orbit.length = m;
            break;
        }
        if (progress && (m & 4095) == 0 && !progress(m)) return ReferenceOrbit{};
    }
    FindRepeatingTail(orbit);
    return orbit;
}

}  // namespace qarn::deep
