#include "deep/minibrot.h"

#include <mpfr.h>

#include <algorithm>
#include <vector>

#include "deep/dyadic_text.h"

namespace qarn::deep {
namespace {

// MPFR numbers that free themselves, all of one precision.
class Reals {
public:
    Reals(std::size_t count, mpfr_prec_t precision) : values_(count) {
        for (auto& v : values_) mpfr_init2(&v, precision);
    }
    ~Reals() {
        for (auto& v : values_) mpfr_clear(&v);
    }
    Reals(const Reals&) = delete;
    Reals& operator=(const Reals&) = delete;
    mpfr_ptr operator[](std::size_t i) { return &values_[i]; }

private:
    std::vector<__mpfr_struct> values_;
};

// (a + bi)(c + di) into (re, im); t a scratch value.
void Multiply(mpfr_ptr re, mpfr_ptr im, mpfr_srcptr a, mpfr_srcptr b, mpfr_srcptr c, mpfr_srcptr d, mpfr_ptr t,
              mpfr_ptr u) {
    mpfr_mul(t, a, c, MPFR_RNDN);
    mpfr_mul(u, b, d, MPFR_RNDN);
    mpfr_sub(t, t, u, MPFR_RNDN);
    mpfr_mul(u, a, d, MPFR_RNDN);
    mpfr_fma(im, b, c, u, MPFR_RNDN);
    mpfr_set(re, t, MPFR_RNDN);
}

// Newton's method for z_p(c) = 0 from (cr, ci); true when settled.
bool Newton(mpfr_ptr cr, mpfr_ptr ci, std::int64_t period, mpfr_prec_t precision) {
    Reals r(10, precision);
    mpfr_ptr zr = r[0], zi = r[1], dr = r[2], di = r[3], t = r[4], u = r[5], nr = r[6], ni = r[7], m = r[8],
             step = r[9];
    for (int iteration = 0; iteration < 200; ++iteration) {
        mpfr_set_zero(zr, 1);
        mpfr_set_zero(zi, 1);
        mpfr_set_zero(dr, 1);
        mpfr_set_zero(di, 1);
        for (std::int64_t n = 0; n < period; ++n) {
            // dz <- 2 z dz + 1, z <- z^2 + c
            Multiply(nr, ni, zr, zi, dr, di, t, u);
            mpfr_mul_2ui(dr, nr, 1, MPFR_RNDN);
            mpfr_add_ui(dr, dr, 1, MPFR_RNDN);
            mpfr_mul_2ui(di, ni, 1, MPFR_RNDN);
            Multiply(nr, ni, zr, zi, zr, zi, t, u);
            mpfr_add(zr, nr, cr, MPFR_RNDN);
            mpfr_add(zi, ni, ci, MPFR_RNDN);
        }
        // step = z / dz
        mpfr_sqr(m, dr, MPFR_RNDN);
        mpfr_fma(m, di, di, m, MPFR_RNDN);
        if (mpfr_zero_p(m)) return false;
        mpfr_neg(di, di, MPFR_RNDN);
        Multiply(nr, ni, zr, zi, dr, di, t, u);
        mpfr_div(nr, nr, m, MPFR_RNDN);
        mpfr_div(ni, ni, m, MPFR_RNDN);
        mpfr_sub(cr, cr, nr, MPFR_RNDN);
        mpfr_sub(ci, ci, ni, MPFR_RNDN);
        // Settled when the step is below the last few bits of c.
        mpfr_hypot(step, nr, ni, MPFR_RNDN);
        mpfr_hypot(m, cr, ci, MPFR_RNDN);
        if (mpfr_zero_p(step)) return true;
        if (!mpfr_number_p(step)) return false;
        if (mpfr_get_exp(step) < std::max(mpfr_get_exp(m), mpfr_exp_t{-precision / 2}) - (precision - 8)) return true;
    }
    return false;
}

}  // namespace

std::optional<Minibrot> FindMinibrot(const DyadicNumber& centreRe, const DyadicNumber& centreIm,
                                     std::int64_t radiusLog2, double radiusScale, std::int64_t maxPeriod,
                                     std::int64_t precision) {
    const auto bits = static_cast<mpfr_prec_t>(precision);
    Reals r(12, bits);
    mpfr_ptr cr = r[0], ci = r[1], zr = r[2], zi = r[3], rad = r[4], rad0 = r[5], t = r[6], u = r[7], nr = r[8],
             ni = r[9], modulus = r[10];
    SetMpfr(cr, centreRe);
    SetMpfr(ci, centreIm);
    mpfr_set_d(rad0, radiusScale, MPFR_RNDU);
    mpfr_mul_2si(rad0, rad0, static_cast<long>(radiusLog2), MPFR_RNDU);
    // z_1 = c, r_1 = radius.
    mpfr_set(zr, cr, MPFR_RNDN);
    mpfr_set(zi, ci, MPFR_RNDN);
    mpfr_set(rad, rad0, MPFR_RNDU);
    std::int64_t period = 0;
    for (std::int64_t n = 1; n < maxPeriod; ++n) {
        mpfr_hypot(modulus, zr, zi, MPFR_RNDN);
        if (mpfr_cmp(modulus, rad) <= 0) {
            period = n;
            break;
        }
        mpfr_sub(t, modulus, rad, MPFR_RNDN);
        if (mpfr_cmp_ui(t, 2) > 0) return std::nullopt;  // every point has escaped
        // r <- (2|z| + r) r + radius; z <- z^2 + c
        mpfr_mul_2ui(t, modulus, 1, MPFR_RNDU);
        mpfr_add(t, t, rad, MPFR_RNDU);
        mpfr_mul(rad, rad, t, MPFR_RNDU);
        mpfr_add(rad, rad, rad0, MPFR_RNDU);
        Multiply(nr, ni, zr, zi, zr, zi, t, u);
        mpfr_add(zr, nr, cr, MPFR_RNDN);
        mpfr_add(zi, ni, ci, MPFR_RNDN);
    }
    if (period == 0) return std::nullopt;

    Minibrot found;
    found.period = period;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!Newton(cr, ci, period, bits)) return std::nullopt;
        // The size estimate at the nucleus.
        Reals s(10, 64);
        mpfr_ptr sr = s[0], si = s[1], lr = s[2], li = s[3], br = s[4], bi = s[5], ir = s[6], ii = s[7], a = s[8],
                 b = s[9];
        Reals z(2, bits);
        mpfr_set_zero(z[0], 1);
        mpfr_set_zero(z[1], 1);
        mpfr_set_ui(lr, 1, MPFR_RNDN);
        mpfr_set_zero(li, 1);
        mpfr_set_ui(br, 1, MPFR_RNDN);
        mpfr_set_zero(bi, 1);
        for (std::int64_t j = 1; j < period; ++j) {
            Multiply(nr, ni, z[0], z[1], z[0], z[1], t, u);
            mpfr_add(z[0], nr, cr, MPFR_RNDN);
            mpfr_add(z[1], ni, ci, MPFR_RNDN);
            // lambda <- 2 z lambda; beta <- beta + 1 / lambda
            mpfr_mul_2ui(sr, z[0], 1, MPFR_RNDN);
            mpfr_mul_2ui(si, z[1], 1, MPFR_RNDN);
            Multiply(lr, li, lr, li, sr, si, a, b);
            mpfr_sqr(a, lr, MPFR_RNDN);
            mpfr_fma(a, li, li, a, MPFR_RNDN);
            mpfr_div(ir, lr, a, MPFR_RNDN);
            mpfr_div(ii, li, a, MPFR_RNDN);
            mpfr_sub(bi, bi, ii, MPFR_RNDN);
            mpfr_add(br, br, ir, MPFR_RNDN);
        }
        // size = 1 / |beta lambda^2|
        Multiply(sr, si, lr, li, lr, li, a, b);
        Multiply(sr, si, sr, si, br, bi, a, b);
        mpfr_hypot(a, sr, si, MPFR_RNDN);
        if (mpfr_zero_p(a) || !mpfr_number_p(a)) return std::nullopt;
        mpfr_ui_div(a, 1, a, MPFR_RNDN);
        const mpfr_exp_t e = mpfr_get_exp(a);  // a in [2^(e-1), 2^e)
        found.sizeLog2 = e - 1;
        mpfr_mul_2si(a, a, -(e - 1), MPFR_RNDN);
        found.size = mpfr_get_d(a, MPFR_RNDN);
        found.precision = precision;
        // Enough bits: 64 below the minibrot's size, beyond its magnitude.
        const std::int64_t needed = -found.sizeLog2 + 96;
        if (needed <= static_cast<std::int64_t>(mpfr_get_prec(cr))) break;
        mpfr_prec_round(cr, static_cast<mpfr_prec_t>(needed), MPFR_RNDN);
        mpfr_prec_round(ci, static_cast<mpfr_prec_t>(needed), MPFR_RNDN);
        for (mpfr_ptr v : {zr, zi, t, u, nr, ni}) mpfr_set_prec(v, static_cast<mpfr_prec_t>(needed));
        found.precision = needed;
        if (!Newton(cr, ci, period, static_cast<mpfr_prec_t>(needed))) return std::nullopt;
        break;
    }
    found.re = *DyadicOfMpfr(cr);
    found.im = *DyadicOfMpfr(ci);
    return found;
}

}  // namespace qarn::deep
