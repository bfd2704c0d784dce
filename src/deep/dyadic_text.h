#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gmp.h>
#include <mpfr.h>

#include "deep/dyadic_number.h"

namespace qarn::deep {

// Reads a number given as text exactly and rounds it once to the nearest
// multiple of 2^-fractionBits, ties to the even multiple. The text is
//   [+|-] digits [. digits] [(e|E) [+|-] digits]        (decimal), or
//   [+|-] 0x|0X hexdigits [. hexdigits] [(p|P) [+|-] digits]   (hexadecimal,
// the exponent a power of two in decimal digits), with any number of digits
// and at least one digit before or after the point. Returns nullopt for text
// that is no such number (empty, spaces, stray characters, "inf", "nan"), and
// for a number whose magnitude is beyond about 2^MaxDyadicTextBits; a number too
// small for the grid reads as zero however large its negative exponent.
[[nodiscard]] std::optional<DyadicNumber> ReadDyadic(std::string_view text, std::int64_t fractionBits);

// ReadDyadic refuses magnitudes beyond about 2^MaxDyadicTextBits (no view
// is anywhere near), so that no text makes it build a huge integer.
inline constexpr std::int64_t MaxDyadicTextBits = 1 << 20;

// The exact decimal of a dyadic number (finite: a number with k bits after
// the binary point has k digits after the decimal point), in fixed notation:
// an optional '-', the integer digits, and a point with the fraction's digits
// only if there is a fraction. ReadDyadic reads it back to the same value at
// any grid the number lies on.
[[nodiscard]] std::string DecimalText(const DyadicNumber& value);

// The shortest decimal, in the same fixed notation, that ReadDyadic reads
// back to `value` at the grid 2^-fractionBits (`value` must lie on that
// grid): the fewest digits after the point, and among decimals with that many
// digits the one nearest to `value`. About 0.3 x fractionBits digits after the
// point instead of fractionBits, so it is what --info prints.
[[nodiscard]] std::string DecimalText(const DyadicNumber& value, std::int64_t fractionBits);

// The number as a normalised DyadicNumber from an integer times 2^exponent.
[[nodiscard]] DyadicNumber DyadicOf(const mpz_t integer, std::int64_t exponent);
// The number's integer (magnitude with sign) and exponent: value = integer x 2^exponent.
void IntegerOf(const DyadicNumber& value, mpz_t integer);

// MPFR: sets `target` (its precision as it is) to `value` rounded by `rounding`;
// returns MPFR's ternary value (0: exact).
int SetMpfr(mpfr_t target, const DyadicNumber& value, mpfr_rnd_t rounding = MPFR_RNDN);
// The exact value of a finite MPFR number; nullopt for NaN and infinities.
[[nodiscard]] std::optional<DyadicNumber> DyadicOfMpfr(const mpfr_t value);
// The bits a binary floating-point number needs to hold `value` exactly (0 for zero).
[[nodiscard]] std::int64_t SignificantBits(const DyadicNumber& value);

}  // namespace qarn::deep
