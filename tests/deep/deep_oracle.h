#pragma once
// The independent oracle of the deep views: the shallow loop itself (z_1 = c,
// x' = x^2 - (y^2 - cr), y' = 2xy + ci, the first n with |z_n|^2 > 4, 0
// where the test at the depth does not escape), every operation in MPFR at a
// precision far above the view's, for c = C + offset exactly.
#include <gmp.h>
#include <mpfr.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "deep/dyadic_number.h"
#include "deep/dyadic_text.h"

namespace qarn::deep::testing {

class Mpfr {
public:
    explicit Mpfr(long precision) { mpfr_init2(value, precision); }
    ~Mpfr() { mpfr_clear(value); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;
    mpfr_t value;
};

// The exact dyadic value of an MPFR number.
inline DyadicNumber DyadicOf(const mpfr_t value) {
    DyadicNumber number;
    if (mpfr_zero_p(value)) return number;
    mpz_t whole;
    mpz_init(whole);
    const mpfr_exp_t exponent = mpfr_get_z_2exp(whole, value);
    number.negative = mpz_sgn(whole) < 0;
    mpz_abs(whole, whole);
    const std::int64_t zeros = static_cast<std::int64_t>(mpz_scan1(whole, 0));
    mpz_tdiv_q_2exp(whole, whole, static_cast<mp_bitcnt_t>(zeros));
    number.exponent = exponent + zeros;
    number.magnitude.resize((mpz_sizeinbase(whole, 2) + 63) / 64);
    std::size_t written = 0;
    mpz_export(number.magnitude.data(), &written, -1, sizeof(std::uint64_t), 0, 0, whole);
    number.magnitude.resize(written);
    mpz_clear(whole);
    return number;
}

// Decimal text rounded to `bits` significant bits.
inline DyadicNumber DyadicFromText(const std::string& text, long bits) {
    Mpfr value(bits);
    mpfr_set_str(value.value, text.c_str(), 10, MPFR_RNDN);
    return DyadicOf(value.value);
}

// c = C + (offRe, offIm) 2^exponent.
inline std::uint32_t OracleCount(const DyadicNumber& re, const DyadicNumber& im, long double offRe, long double offIm,
                                 std::uint32_t depth, long precision, std::int64_t exponent = 0) {
    Mpfr cr(precision), ci(precision), t(precision), x(precision), y(precision), xx(precision), yy(precision),
        xy(precision), sum(precision),
        exact(static_cast<long>(re.magnitude.size() * 64 + im.magnitude.size() * 64 + 8)), offset(64);
    SetMpfr(exact.value, re);
    mpfr_set_ld(offset.value, offRe, MPFR_RNDN);
    mpfr_mul_2si(offset.value, offset.value, exponent, MPFR_RNDN);
    mpfr_add(cr.value, exact.value, offset.value, MPFR_RNDN);
    SetMpfr(exact.value, im);
    mpfr_set_ld(offset.value, offIm, MPFR_RNDN);
    mpfr_mul_2si(offset.value, offset.value, exponent, MPFR_RNDN);
    mpfr_add(ci.value, exact.value, offset.value, MPFR_RNDN);
    mpfr_set(x.value, cr.value, MPFR_RNDN);
    mpfr_set(y.value, ci.value, MPFR_RNDN);
    for (std::uint32_t n = 1;; ++n) {
        mpfr_sqr(xx.value, x.value, MPFR_RNDN);
        mpfr_mul(xy.value, x.value, y.value, MPFR_RNDN);
        mpfr_sqr(yy.value, y.value, MPFR_RNDN);
        mpfr_add(sum.value, xx.value, yy.value, MPFR_RNDN);
        if (mpfr_cmp_ui(sum.value, 4) > 0) return n;
        if (n >= depth) return 0;
        mpfr_sub(t.value, yy.value, cr.value, MPFR_RNDN);
        mpfr_sub(x.value, xx.value, t.value, MPFR_RNDN);
        mpfr_add(t.value, xy.value, xy.value, MPFR_RNDN);
        mpfr_add(y.value, t.value, ci.value, MPFR_RNDN);
    }
}

// Every point of a grid on two threads (the oracle is slow).
inline std::vector<std::uint32_t> OracleCounts(const DyadicNumber& re, const DyadicNumber& im,
                                               const std::vector<long double>& offRe,
                                               const std::vector<long double>& offIm, std::uint32_t depth,
                                               long precision, std::int64_t exponent = 0) {
    std::vector<std::uint32_t> counts(offRe.size() * offIm.size());
    auto run = [&](std::size_t part) {
        for (std::size_t k = part; k < counts.size(); k += 2)
            counts[k] = OracleCount(re, im, offRe[k % offRe.size()], offIm[k / offRe.size()], depth, precision,
                                    exponent);
    };
    std::thread other(run, 1);
    run(0);
    other.join();
    return counts;
}

}  // namespace qarn::deep::testing
