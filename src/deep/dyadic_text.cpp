#include "deep/dyadic_text.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace qarn::deep {
namespace {

// An mpz_t that frees itself.
class Integer {
public:
    Integer() { mpz_init(value_); }
    ~Integer() { mpz_clear(value_); }
    Integer(const Integer&) = delete;
    Integer& operator=(const Integer&) = delete;
    mpz_ptr get() { return value_; }
    mpz_srcptr get() const { return value_; }

private:
    mpz_t value_;
};

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// A decimal exponent, saturated far beyond anything that changes the result.
constexpr std::int64_t ExponentLimit = std::int64_t{1} << 50;

bool ReadExponent(std::string_view text, std::int64_t& exponent) {
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t e = 0;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], 10);
        if (d < 0) return false;
        e = std::min(ExponentLimit, e * 10 + d);
    }
    exponent = negative ? -e : e;
    return true;
}

// The nearest integer to numerator / denominator (both positive or the
// numerator zero), ties to even.
void RoundQuotient(mpz_t result, const mpz_t numerator, const mpz_t denominator) {
    Integer remainder;
    mpz_fdiv_qr(result, remainder.get(), numerator, denominator);
    mpz_mul_2exp(remainder.get(), remainder.get(), 1);
    const int c = mpz_cmp(remainder.get(), denominator);
    if (c > 0 || (c == 0 && mpz_odd_p(result))) mpz_add_ui(result, result, 1);
}

// 2^bits x value for bits of either sign, for the numerator or the
// denominator of a fraction: a negative shift moves to the other one.
void Scale(mpz_t numerator, mpz_t denominator, std::int64_t bits) {
    if (bits >= 0)
        mpz_mul_2exp(numerator, numerator, static_cast<mp_bitcnt_t>(bits));
    else
        mpz_mul_2exp(denominator, denominator, static_cast<mp_bitcnt_t>(-bits));
}

// Bounds of log2(10) x n for the decimal exponent's size checks, from
// 3.3219 < log2(10) < 3.3220; n is first clamped to +-2^40 (far beyond
// every limit, and without overflow).
constexpr std::int64_t Clamped(std::int64_t n) {
    return std::clamp<std::int64_t>(n, -(std::int64_t{1} << 40), std::int64_t{1} << 40);
}
std::int64_t BitsBelowPowerOfTen(std::int64_t n) {
    n = Clamped(n);
    return n >= 0 ? n * 33219 / 10000 : -((-n) * 33220 / 10000) - 1;
}
std::int64_t BitsAbovePowerOfTen(std::int64_t n) {
    n = Clamped(n);
    return n >= 0 ? n * 33220 / 10000 + 1 : -((-n) * 33219 / 10000);
}

}  // namespace

DyadicNumber DyadicOf(const mpz_t integer, std::int64_t exponent) {
    DyadicNumber result;
    if (mpz_sgn(integer) == 0) return result;
    const mp_bitcnt_t zeros = mpz_scan1(integer, 0);
    Integer odd;
    mpz_fdiv_q_2exp(odd.get(), integer, zeros);
    mpz_abs(odd.get(), odd.get());
    result.negative = mpz_sgn(integer) < 0;
    result.exponent = exponent + static_cast<std::int64_t>(zeros);
    const std::size_t limbs = (mpz_sizeinbase(odd.get(), 2) + 63) / 64;
    result.magnitude.assign(limbs, 0);
    std::size_t written = 0;
    mpz_export(result.magnitude.data(), &written, -1, sizeof(std::uint64_t), 0, 0, odd.get());
    result.magnitude.resize(written);
    return result;
}

void IntegerOf(const DyadicNumber& value, mpz_t integer) {
    mpz_import(integer, value.magnitude.size(), -1, sizeof(std::uint64_t), 0, 0, value.magnitude.data());
    if (value.negative) mpz_neg(integer, integer);
}

std::int64_t SignificantBits(const DyadicNumber& value) {
    if (value.magnitude.empty()) return 0;
    const std::uint64_t top = value.magnitude.back();
    int bits = 64;
    while (bits > 0 && ((top >> (bits - 1)) & 1u) == 0) --bits;
    return static_cast<std::int64_t>(value.magnitude.size() - 1) * 64 + bits;
}

std::optional<DyadicNumber> ReadDyadic(std::string_view text, std::int64_t fractionBits) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (text.size() - i >= 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    // The digits without leading zeros, and how many digits follow the point.
    std::string digits;
    std::int64_t fractionDigits = 0;
    bool point = false;
    bool anyDigit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (DigitValue(c, base) < 0) break;
        anyDigit = true;
        if (point) ++fractionDigits;
        if (!digits.empty() || c != '0') digits.push_back(c);
    }
    if (!anyDigit) return std::nullopt;
    std::int64_t exponent = 0;
    if (i < text.size()) {
        const char marker = text[i];
        const bool fits = base == 10 ? (marker == 'e' || marker == 'E') : (marker == 'p' || marker == 'P');
        if (!fits || !ReadExponent(text.substr(i + 1), exponent)) return std::nullopt;
    }
    if (digits.empty()) return DyadicNumber{};

    Integer numerator, denominator;
    if (mpz_set_str(numerator.get(), digits.c_str(), base) != 0) return std::nullopt;
    mpz_set_ui(denominator.get(), 1);
    const std::int64_t significant = static_cast<std::int64_t>(digits.size());
    if (base == 16) {
        // value = M x 2^(exponent - 4 x fractionDigits), M below 2^(4 x digits).
        const std::int64_t shift = exponent - 4 * fractionDigits;
        const std::int64_t top = shift + 4 * significant;  // value < 2^top
        if (top - 4 >= MaxDyadicTextBits) return std::nullopt;
        if (top < -fractionBits - 1) return DyadicNumber{};  // below half a grid step
        Scale(numerator.get(), denominator.get(), shift + fractionBits);
    } else {
        // value = M x 10^(exponent - fractionDigits), M below 10^digits.
        const std::int64_t power = exponent - fractionDigits;
        const std::int64_t topPower = power + significant;  // value < 10^topPower
        if (BitsBelowPowerOfTen(topPower - 1) >= MaxDyadicTextBits) return std::nullopt;
        if (BitsAbovePowerOfTen(topPower) < -fractionBits - 1) return DyadicNumber{};
        Integer ten;
        mpz_ui_pow_ui(ten.get(), 10, static_cast<unsigned long>(power >= 0 ? power : -power));
        if (power >= 0)
            mpz_mul(numerator.get(), numerator.get(), ten.get());
        else
            mpz_swap(denominator.get(), ten.get());
        Scale(numerator.get(), denominator.get(), fractionBits);
    }
    Integer multiple;
    RoundQuotient(multiple.get(), numerator.get(), denominator.get());
    if (negative) mpz_neg(multiple.get(), multiple.get());
    return DyadicOf(multiple.get(), -fractionBits);
}

namespace {

// sign, then `units` (a non-negative integer) / 10^places in fixed notation.
std::string FixedText(bool negative, const mpz_t units, std::int64_t places) {
    std::string digits(mpz_sizeinbase(units, 10) + 2, '\0');
    mpz_get_str(digits.data(), 10, units);
    digits.resize(std::char_traits<char>::length(digits.c_str()));
    std::string text = negative && mpz_sgn(units) != 0 ? "-" : "";
    const auto p = static_cast<std::size_t>(places);
    if (digits.size() <= p) digits.insert(0, p + 1 - digits.size(), '0');
    text += digits.substr(0, digits.size() - p);
    if (p > 0) text += "." + digits.substr(digits.size() - p);
    return text;
}

}  // namespace

std::string DecimalText(const DyadicNumber& value) {
    // m x 2^-k = m x 5^k / 10^k: k digits after the point.
    Integer units;
    IntegerOf(value, units.get());
    mpz_abs(units.get(), units.get());
    if (value.exponent >= 0) {
        mpz_mul_2exp(units.get(), units.get(), static_cast<mp_bitcnt_t>(value.exponent));
        return FixedText(value.negative, units.get(), 0);
    }
    Integer five;
    mpz_ui_pow_ui(five.get(), 5, static_cast<unsigned long>(-value.exponent));
    mpz_mul(units.get(), units.get(), five.get());
    return FixedText(value.negative, units.get(), -value.exponent);
}

std::string DecimalText(const DyadicNumber& value, std::int64_t fractionBits) {
    Integer n;  // |value| x 2^fractionBits (an integer when value lies on the grid)
    IntegerOf(value, n.get());
    mpz_abs(n.get(), n.get());
    const std::int64_t shift = value.exponent + fractionBits;
    Integer gridDenominator;  // 2^fractionBits, or 1 for a grid coarser than 1
    mpz_set_ui(gridDenominator.get(), 1);
    if (fractionBits >= 0)
        mpz_mul_2exp(gridDenominator.get(), gridDenominator.get(), static_cast<mp_bitcnt_t>(fractionBits));
    if (shift >= 0) mpz_mul_2exp(n.get(), n.get(), static_cast<mp_bitcnt_t>(shift));
    // For a grid coarser than 1 (fractionBits < 0) or a value off the grid
    // the exact integer part and fraction are asked: use the exact grid.
    if (fractionBits < 0 || shift < 0) return DecimalText(value);
    const bool even = mpz_even_p(n.get());

    // The decimal with d places nearest to value: x = round(n x 10^d / 2^f).
    // It reads back to n iff |x x 2^f - n x 10^d| x 2 < 10^d, or equals it
    // with n even (ties go to the even multiple). Any decimal with d places
    // that reads back makes one with d + 1 places, so the fewest places are
    // found by bisection; d = f places always reads back (it is exact).
    Integer x, power, scaled, error;
    const auto readsBack = [&](std::int64_t d) {
        mpz_ui_pow_ui(power.get(), 10, static_cast<unsigned long>(d));
        mpz_mul(scaled.get(), n.get(), power.get());
        RoundQuotient(x.get(), scaled.get(), gridDenominator.get());
        mpz_mul_2exp(error.get(), x.get(), static_cast<mp_bitcnt_t>(fractionBits));
        mpz_sub(error.get(), error.get(), scaled.get());
        mpz_abs(error.get(), error.get());
        mpz_mul_2exp(error.get(), error.get(), 1);
        const int c = mpz_cmp(error.get(), power.get());
        return c < 0 || (c == 0 && even);
    };
    std::int64_t low = 0, high = fractionBits;  // readsBack(high) holds
    if (readsBack(0)) high = 0;
    while (high - low > 1) {
        const std::int64_t mid = low + (high - low) / 2;
        if (readsBack(mid))
            high = mid;
        else
            low = mid;
    }
    readsBack(high);
    return FixedText(value.negative, x.get(), high);
}

int SetMpfr(mpfr_t target, const DyadicNumber& value, mpfr_rnd_t rounding) {
    Integer n;
    IntegerOf(value, n.get());
    if (value.exponent >= std::numeric_limits<long>::min() && value.exponent <= std::numeric_limits<long>::max())
        return mpfr_set_z_2exp(target, n.get(), static_cast<mpfr_exp_t>(value.exponent), rounding);
    // An exponent beyond a 32-bit long (Windows) is far beyond MPFR's
    // exponent range there: the scaling underflows or overflows as MPFR does.
    mpfr_set_z(target, n.get(), rounding);
    return mpfr_mul_2si(target, target,
                        value.exponent < 0 ? std::numeric_limits<long>::min() : std::numeric_limits<long>::max(),
                        rounding);
}

std::optional<DyadicNumber> DyadicOfMpfr(const mpfr_t value) {
    if (mpfr_nan_p(value) || mpfr_inf_p(value)) return std::nullopt;
    if (mpfr_zero_p(value)) return DyadicNumber{};
    Integer n;
    const mpfr_exp_t exponent = mpfr_get_z_2exp(n.get(), value);
    return DyadicOf(n.get(), exponent);
}

}  // namespace qarn::deep
