// Deep centres as text: reading any decimal or hexadecimal number exactly and
// rounding it once to a grid, against MPFR's own correctly rounded reading;
// the exact and the shortest decimals reading back to the same number.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "deep/dyadic_text.h"

namespace qarn::deep {
namespace {

// n x 2^e, from a signed integer (so the test does not restate the normal form).
DyadicNumber Of(std::int64_t n, std::int64_t e) {
    mpz_t z;
    mpz_init(z);
    mpz_set_si(z, n);
    DyadicNumber d = DyadicOf(z, e);
    mpz_clear(z);
    return d;
}

// MPFR's value of `text`, rounded to nearest-even at the grid 2^-fractionBits.
// A number in [2^(e-1), 2^e) on that grid has e + fractionBits significant
// bits, so reading it at that precision rounds to the grid; a carry to 2^e
// stays on it. Values below 2^-(fractionBits + 1) are 0 (or the tie at 0.5 ulp,
// which goes to even: 0). Returns false for text MPFR does not read whole.
bool MpfrOnGrid(const std::string& text, std::int64_t fractionBits, DyadicNumber& result) {
    mpfr_t wide, grid;
    mpfr_init2(wide, 64 + 4 * static_cast<mpfr_prec_t>(text.size()) + static_cast<mpfr_prec_t>(fractionBits));
    char* end = nullptr;
    mpfr_strtofr(wide, text.c_str(), &end, 0, MPFR_RNDZ);
    const bool whole = end != nullptr && *end == '\0' && end != text.c_str();
    bool ok = whole;
    if (ok) {
        if (mpfr_zero_p(wide)) {
            result = DyadicNumber{};
        } else {
            const mpfr_exp_t e = mpfr_get_exp(wide);  // |value| in [2^(e-1), 2^e)
            const std::int64_t precision = e + fractionBits;
            if (precision >= 2) {
                mpfr_init2(grid, static_cast<mpfr_prec_t>(precision));
                mpfr_strtofr(grid, text.c_str(), nullptr, 0, MPFR_RNDN);
                result = *DyadicOfMpfr(grid);
                mpfr_clear(grid);
            } else {
                ok = false;  // too close to the grid's step for this oracle
            }
        }
    }
    mpfr_clear(wide);
    return ok;
}

TEST(ReadDyadic, RoundsOnceToTheNearestGridMultipleTiesToEven) {
    const struct {
        const char* text;
        std::int64_t fractionBits;
        DyadicNumber expected;
    } rows[] = {
        {"0", 10, Of(0, 0)},
        {"-0.000", 10, Of(0, 0)},
        {"0.5", 0, Of(0, 0)},  // a tie: to the even multiple
        {"1.5", 0, Of(2, 0)},
        {"2.5", 0, Of(2, 0)},
        {"-2.5", 0, Of(-2, 0)},
        {"-3.5", 0, Of(-4, 0)},
        {"2.5000000000000000000000000000001", 0, Of(3, 0)},
        {"0.1", 4, Of(2, -4)},  // 1.6 sixteenths
        {"0x1.8p-3", 4, Of(3, -4)},
        {"0X.8", 1, Of(1, -1)},
        {"+.5e1", 0, Of(5, 0)},
        {"5.", 0, Of(5, 0)},
        {"0x1e5", 0, Of(485, 0)},  // 'e' is a digit in hexadecimal
        {"0x1p+10", 0, Of(1, 10)},
        {"1e-1000", 10, Of(0, 0)},
        {"1e-99999999999999999999", 100000, Of(0, 0)},
        {"0x1p-99999999999999999999", 100000, Of(0, 0)},
        {"-0.74364e-3", 20, Of(-780, -20)},  // 779.76...
        {"100", -3, Of(96, 0)},              // a grid of 8: 12.5 eighths, tie to 12
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ReadDyadic(row.text, row.fractionBits), row.expected) << row.text << " at " << row.fractionBits;
    }
    // A number of 97 bits, read exactly.
    mpz_t big;
    mpz_init_set_str(big, "12345678901234567890123456789", 10);
    EXPECT_EQ(ReadDyadic("12345678901234567890123456789", 0), DyadicOf(big, 0));
    mpz_clear(big);
}

TEST(ReadDyadic, RefusesWhatIsNoNumber) {
    for (const char* text : {"",   "-",   "+",     ".",     "-.",  "e5",    "1e",   "1e+",           "1e-",
                             "0x", "0x.", "0xp1",  "1.2.3", " 1",  "1 ",    "inf",  "nan",           "-inf",
                             "1x", "1p3", "1e5.5", "--1",   "1,5", "0b101", "0x1p", "1e99999999999", "0x1p99999999999"})
        EXPECT_FALSE(ReadDyadic(text, 8)) << '"' << text << '"';
    // 'e' is a hexadecimal digit, not an exponent, after 0x.
    EXPECT_EQ(ReadDyadic("0x1.8e3", 12), ReadDyadic("0x18e3p-12", 12));
}

TEST(ReadDyadic, AgreesWithMpfrOnRandomTexts) {
    std::mt19937_64 random(28);
    int compared = 0;
    for (int k = 0; k < 4000; ++k) {
        std::string text = random() % 2 ? "-" : "";
        const bool hex = random() % 4 == 0;
        if (hex) text += "0x";
        const char* digits = hex ? "0123456789abcdef" : "0123456789";
        const int base = hex ? 16 : 10;
        const int before = static_cast<int>(random() % 4), after = static_cast<int>(random() % 60);
        for (int i = 0; i < before; ++i) text += digits[random() % base];
        if (after > 0 || before == 0) text += '.';
        for (int i = 0; i < std::max(after, before == 0 ? 1 : 0); ++i) text += digits[random() % base];
        if (random() % 2) {
            text += hex ? 'p' : 'e';
            text += std::to_string(static_cast<int>(random() % 80) - 40);
        }
        const std::int64_t fractionBits = static_cast<std::int64_t>(random() % 300);
        DyadicNumber expected;
        if (!MpfrOnGrid(text, fractionBits, expected)) continue;
        ++compared;
        EXPECT_EQ(ReadDyadic(text, fractionBits), expected) << text << " at " << fractionBits;
    }
    EXPECT_GT(compared, 3000);
}

TEST(DecimalText, ExactDecimalIsMpfrsAndReadsBack) {
    std::mt19937_64 random(56);
    for (int k = 0; k < 300; ++k) {
        const DyadicNumber value = Of(static_cast<std::int64_t>(random() >> 2) * (random() % 2 ? 1 : -1),
                                      static_cast<int>(random() % 200) - 150);
        const std::string text = DecimalText(value);
        EXPECT_EQ(ReadDyadic(text, -value.exponent > 0 ? -value.exponent : 0), value) << text;
        // MPFR prints the same digits: the value has at most -exponent places.
        mpfr_t x;
        mpfr_init2(x, 64);
        SetMpfr(x, value);
        const int places = value.exponent < 0 ? static_cast<int>(-value.exponent) : 0;
        char* printed = nullptr;
        mpfr_asprintf(&printed, "%.*Rf", places, x);
        std::string expected = printed;
        mpfr_free_str(printed);
        mpfr_clear(x);
        if (places == 0 && expected.back() == '.') expected.pop_back();
        EXPECT_EQ(text, expected);
    }
    EXPECT_EQ(DecimalText(Of(0, 0)), "0");
    EXPECT_EQ(DecimalText(Of(-3, -4)), "-0.1875");
    EXPECT_EQ(DecimalText(Of(5, 3)), "40");
}

// The text's digits after the point, as an integer, and their count.
std::int64_t Places(const std::string& text) {
    const auto point = text.find('.');
    return point == std::string::npos ? 0 : static_cast<std::int64_t>(text.size() - point - 1);
}

TEST(DecimalText, ShortestReadsBackAndNoShorterDecimalDoes) {
    std::mt19937_64 random(27);
    for (int k = 0; k < 400; ++k) {
        const std::int64_t fractionBits = static_cast<std::int64_t>(random() % 400);
        // A random number in (-4, 4) on the grid.
        mpz_t n;
        mpz_init(n);
        gmp_randstate_t state;
        gmp_randinit_mt(state);
        gmp_randseed_ui(state, static_cast<unsigned long>(random()));
        mpz_urandomb(n, state, static_cast<mp_bitcnt_t>(fractionBits + 2));
        if (random() % 2) mpz_neg(n, n);
        const DyadicNumber value = DyadicOf(n, -fractionBits);
        const std::string text = DecimalText(value, fractionBits);
        EXPECT_EQ(ReadDyadic(text, fractionBits), value) << text;
        // Neither decimal with one place fewer on either side reads back.
        const std::int64_t places = Places(text);
        if (places > 0) {
            mpfr_t x, shorter;
            mpfr_init2(x, static_cast<mpfr_prec_t>(fractionBits + 8));
            mpfr_init2(shorter, static_cast<mpfr_prec_t>(4 * places + 64));
            SetMpfr(x, value);
            for (const mpfr_rnd_t direction : {MPFR_RNDD, MPFR_RNDU}) {
                char* printed = nullptr;
                mpfr_asprintf(&printed, direction == MPFR_RNDD ? "%.*RDf" : "%.*RUf", static_cast<int>(places - 1), x);
                EXPECT_NE(ReadDyadic(printed, fractionBits), value) << text << " against " << printed;
                mpfr_free_str(printed);
            }
            mpfr_clear(x);
            mpfr_clear(shorter);
        }
        gmp_randclear(state);
        mpz_clear(n);
    }
    // About 0.3 digits a bit: a deep centre's text is not its exact decimal.
    const DyadicNumber third = *ReadDyadic("0.333333333333333333333333333333333333333333333", 128);
    EXPECT_LE(Places(DecimalText(third, 128)), 40);
    EXPECT_EQ(Places(DecimalText(third)), 128);
    EXPECT_EQ(DecimalText(Of(1, -1), 100), "0.5");
    EXPECT_EQ(DecimalText(Of(0, 0), 100), "0");
    EXPECT_EQ(DecimalText(Of(-7, 0), 100), "-7");
}

TEST(DyadicNumber, NormalFormAndMpfrRoundTrip) {
    EXPECT_EQ(Of(12, 0), Of(3, 2));
    EXPECT_EQ(Of(12, 0).magnitude.size(), 1u);
    EXPECT_EQ(Of(0, 5), DyadicNumber{});
    EXPECT_EQ(SignificantBits(Of(-255, 7)), 8);
    EXPECT_EQ(SignificantBits(DyadicNumber{}), 0);
    const DyadicNumber wide = *ReadDyadic("-0x1.23456789abcdef0123456789abcdef01p-100", 300);
    EXPECT_EQ(SignificantBits(wide), 129);
    mpfr_t x;
    mpfr_init2(x, 129);
    EXPECT_EQ(SetMpfr(x, wide), 0);
    EXPECT_EQ(DyadicOfMpfr(x), wide);
    mpfr_set_prec(x, 64);
    EXPECT_NE(SetMpfr(x, wide), 0);  // rounded: inexact
    mpfr_set_nan(x);
    EXPECT_FALSE(DyadicOfMpfr(x));
    mpfr_set_inf(x, 1);
    EXPECT_FALSE(DyadicOfMpfr(x));
    mpfr_clear(x);
}

}  // namespace
}  // namespace qarn::deep
