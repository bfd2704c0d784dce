#include "frame_step.h"

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace qarn::render {
namespace {

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit format");

__extension__ typedef unsigned __int128 U128;  // GCC's, on every 64-bit target

// A non-negative fixed-point number of n 64-bit limbs, least significant
// first: the value is the limbs' integer / 2^F, F = 64 (n - 1), so the top
// limb holds the whole part. u = 2^-F is its unit in the last place. Every
// operation truncates (rounds toward zero); the values here stay below
// 2^63, so no operation overflows the top limb.
struct Fixed {
    std::vector<std::uint64_t> limb;
    explicit Fixed(std::size_t n) : limb(n) {}
    std::size_t Size() const { return limb.size(); }
    int FractionBits() const { return 64 * static_cast<int>(limb.size() - 1); }
    bool IsZero() const {
        for (std::uint64_t l : limb)
            if (l != 0) return false;
        return true;
    }
};

Fixed Whole(std::size_t n, std::uint64_t value) {
    Fixed x(n);
    x.limb[n - 1] = value;
    return x;
}

// x << bits or x >> bits for a fixed point value taken as an integer.
Fixed ShiftRight(const Fixed& x, int bits) {
    Fixed r(x.Size());
    const std::size_t words = static_cast<std::size_t>(bits / 64);
    const int rest = bits % 64;
    for (std::size_t i = 0; i + words < x.Size(); ++i) {
        std::uint64_t v = x.limb[i + words] >> rest;
        if (rest != 0 && i + words + 1 < x.Size()) v |= x.limb[i + words + 1] << (64 - rest);
        r.limb[i] = v;
    }
    return r;
}

Fixed Add(const Fixed& a, const Fixed& b) {
    Fixed r(a.Size());
    U128 carry = 0;
    for (std::size_t i = 0; i < a.Size(); ++i) {
        carry += static_cast<U128>(a.limb[i]) + b.limb[i];
        r.limb[i] = static_cast<std::uint64_t>(carry);
        carry >>= 64;
    }
    return r;
}

// a - b for a >= b.
Fixed Subtract(const Fixed& a, const Fixed& b) {
    Fixed r(a.Size());
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.Size(); ++i) {
        const U128 d = static_cast<U128>(a.limb[i]) - b.limb[i] - borrow;
        r.limb[i] = static_cast<std::uint64_t>(d);
        borrow = (d >> 64) != 0 ? 1 : 0;
    }
    return r;
}

bool Less(const Fixed& a, const Fixed& b) {
    for (std::size_t i = a.Size(); i-- > 0;)
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i];
    return false;
}

// Exact: a x m.
Fixed MultiplySmall(const Fixed& a, std::uint64_t m) {
    Fixed r(a.Size());
    U128 carry = 0;
    for (std::size_t i = 0; i < a.Size(); ++i) {
        carry += static_cast<U128>(a.limb[i]) * m;
        r.limb[i] = static_cast<std::uint64_t>(carry);
        carry >>= 64;
    }
    return r;
}

// a / d, truncated: less than u below the exact quotient.
Fixed DivideSmall(const Fixed& a, std::uint64_t d) {
    Fixed r(a.Size());
    U128 rest = 0;
    for (std::size_t i = a.Size(); i-- > 0;) {
        rest = rest << 64 | a.limb[i];
        r.limb[i] = static_cast<std::uint64_t>(rest / d);
        rest %= d;
    }
    return r;
}

// a x b, truncated: less than u below the exact product.
Fixed Multiply(const Fixed& a, const Fixed& b) {
    const std::size_t n = a.Size();
    std::vector<std::uint64_t> product(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        U128 carry = 0;
        for (std::size_t j = 0; j < n; ++j) {
            carry += static_cast<U128>(a.limb[i]) * b.limb[j] + product[i + j];
            product[i + j] = static_cast<std::uint64_t>(carry);
            carry >>= 64;
        }
        product[i + n] = static_cast<std::uint64_t>(carry);
    }
    Fixed r(n);
    for (std::size_t i = 0; i < n; ++i) r.limb[i] = product[i + n - 1];
    return r;
}

// Bits `from` to from + 127 of x's integer.
U128 BitsFrom(const Fixed& x, int from) {
    const Fixed shifted = ShiftRight(x, from);
    return static_cast<U128>(shifted.limb[1]) << 64 | shifted.limb[0];
}

// ln 2 = sum over k >= 1 of 1 / (k 2^k), its first F terms: each 2^F >> k is
// exact (k <= F) and its division by k truncates by less than u, and the
// terms left out sum to less than 2^-F / (F + 1) < u. So
//   ln 2 - (F + 1) u < Ln2 <= ln 2.
Fixed Ln2(std::size_t n) {
    const Fixed one = Whole(n, 1);
    const int f = one.FractionBits();
    Fixed sum(n);
    for (int k = 1; k <= f; ++k) sum = Add(sum, DivideSmall(ShiftRight(one, k), static_cast<std::uint64_t>(k)));
    return sum;
}

// The terms of the series of exp that the precision needs: the smallest J
// with (J + 1)! >= 2^(F + 1), from a lower bound of log2 of the factorial.
int ExpTerms(int fractionBits) {
    int bits = 0;
    int j = 1;
    while (bits < fractionBits + 1) {
        ++j;
        bits += std::bit_width(static_cast<unsigned>(j)) - 1;
    }
    return j - 1;
}

// exp(g) for 0 <= g < 1 by its series, J terms: T_0 = 1, T_j = T_{j-1} g / j
// (two truncations). With e_j the error of T_j, e_j <= e_{j-1} g / j + 2u,
// so e_j <= 4u for every j (e_0 = 0), the sum's error at most 4Ju; the
// terms left out sum to at most 2 / (J + 1)! <= u. So
//   |Exp(g) - exp(g)| <= (4J + 1) u.
Fixed Exp(const Fixed& g, int terms) {
    const std::size_t n = g.Size();
    Fixed sum = Whole(n, 1);
    Fixed term = sum;
    for (int j = 1; j <= terms; ++j) {
        term = DivideSmall(Multiply(term, g), static_cast<std::uint64_t>(j));
        if (term.IsZero()) break;  // every later term is zero too
        sum = Add(sum, term);
    }
    return sum;
}

// The 80-bit value significand / 2^63 x 2^exponent, significand's top bit
// set, the exponent within the normal range.
long double Compose(std::uint64_t significand, std::int64_t exponent) {
    const auto biased = static_cast<std::uint16_t>(exponent + 16383);
    unsigned char image[16] = {};
    std::memcpy(image, &significand, 8);
    std::memcpy(image + 8, &biased, 2);
    long double value = 0.0L;
    std::memcpy(&value, image, 10);
    return value;
}

// s = significand / 2^63 x 2^exponent for a positive normal s.
bool Decompose(long double s, std::uint64_t& significand, std::int64_t& exponent) {
    unsigned char image[16] = {};
    std::memcpy(image, &s, 10);
    std::uint16_t signAndExponent = 0;
    std::memcpy(&significand, image, 8);
    std::memcpy(&signAndExponent, image + 8, 2);
    if ((signAndExponent & 0x8000) != 0) return false;  // negative
    const int biased = signAndExponent & 0x7FFF;
    if (biased == 0 || biased == 0x7FFF || (significand >> 63) == 0) return false;  // not normal
    exponent = biased - 16383;
    return true;
}

// The 64-bit significand nearest to a fixed-point value y in [1, 2]
// (F >= 64), half-way cases up; 2^64 where y rounds to 2.
U128 Round64(const Fixed& y) {
    const int drop = y.FractionBits() - 63;
    return (BitsFrom(y, drop - 1) + 1) >> 1;
}

long double FromSignificand(U128 rounded, std::int64_t exponent) {
    if (rounded >> 64 != 0) return Compose(std::uint64_t{1} << 63, exponent + 1);
    return Compose(static_cast<std::uint64_t>(rounded), exponent);
}

constexpr std::int64_t HomeExponent = -7;

// 2^-(7 + L k / N), the value nearest to it.
//
// With M = 7N + Lk = qN + r, 0 <= r < N: where r = 0 it is 2^-q exactly.
// Otherwise it is 2^(-q-1) x y with y = 2^(a/N), a = N - r, 0 < a < N, and
// y in (1, 2) is irrational: were y = p/q', then p^N = 2^a q'^N, whose
// powers of two give N | a. So y is never a midpoint of 64-bit
// significands, and the value nearest to y is the one that every point of
// an interval holding y rounds to.
//
// G = Ln2 x a / N (an exact product, a truncated division) is within
// (a/N)(F + 1) u + u < (F + 2) u of g = (a/N) ln 2 < 0.7; exp's slope there
// is below 3, so exp(G) is within 3 (F + 2) u of y, and Y = Exp(G) within
// E = (4J + 1 + 3(F + 2)) u of y. When Y - E and Y + E round to the same
// significand, so does y. Otherwise (an interval of 2^-(F - 12) about a
// midpoint 2^-64 apart: about one value in 2^(F - 76)) the computation is
// made again with twice the limbs; it ends, since y is not a midpoint.
// Nothing of this depends on L but q, the exponent: the rule holds for any
// L with 7N + Lk below 2^63, the exponent -q or -q - 1 then kept as a
// whole number (outside the 80-bit range past level 16375).
BinaryStep PowerOfTwoStep(std::int64_t levels, int frame, int frames) {
    const std::int64_t n = frames;
    const std::int64_t m = 7 * n + levels * frame;
    std::int64_t q = m / n;
    std::int64_t r = m % n;
    if (r < 0) {
        r += n;
        --q;
    }
    if (r == 0) return {std::uint64_t{1} << 63, -q};
    const auto a = static_cast<std::uint64_t>(n - r);
    for (std::size_t limbs = 4;; limbs *= 2) {
        const Fixed ln2 = Ln2(limbs);
        const int f = ln2.FractionBits();
        const int terms = ExpTerms(f);
        const Fixed y = Exp(DivideSmall(MultiplySmall(ln2, a), static_cast<std::uint64_t>(n)), terms);
        Fixed error(limbs);
        error.limb[0] = static_cast<std::uint64_t>(4 * terms + 1 + 3 * (f + 2));
        const U128 low = Round64(Subtract(y, error));
        const U128 high = Round64(Add(y, error));
        if (low == high) {
            if (low >> 64 != 0) return {std::uint64_t{1} << 63, -q};
            return {static_cast<std::uint64_t>(low), -q - 1};
        }
    }
}

// The significand's binary division (s - 2^63) / (s + 2^63), F bits: less
// than u below the exact quotient.
Fixed SignificandRatio(std::uint64_t significand, std::size_t limbs) {
    const U128 half = U128{1} << 63;
    const U128 numerator = significand - half;
    const U128 denominator = significand + half;
    Fixed z(limbs);
    U128 rest = numerator;
    for (int bit = z.FractionBits() - 1; bit >= 0; --bit) {
        rest <<= 1;
        if (rest >= denominator) {
            rest -= denominator;
            z.limb[static_cast<std::size_t>(bit / 64)] |= std::uint64_t{1} << (bit % 64);
        }
    }
    return z;
}

// 2^-7 x 2^(k/N log2 rho), rho = s / 2^-7 = (S / 2^63) 2^c with c = e + 7,
// for s = S / 2^63 x 2^e: in natural logarithms, exp(A) with
// A = k/N (c ln 2 + ln(S / 2^63)), ln of the significand m = S / 2^63 being
// 2 atanh(z) = 2 (z + z^3/3 + z^5/5 + ...), z = (m - 1) / (m + 1) < 1/3.
// With |A| = n ln 2 + g, 0 <= g < ln 2 (ln 2 as Ln2, in both places):
// exp(A) = 2^n exp(g) for A >= 0, 2^(-n-1) exp(ln 2 - g) for A < 0 (2^-n
// where g = 0); the exponential's value, in [1, 2], rounds to 64 bits once.
long double OddFrameStep(std::uint64_t significand, std::int64_t exponent, int frame, int frames) {
    constexpr std::size_t Limbs = 4;
    const Fixed ln2 = Ln2(Limbs);
    const Fixed z = SignificandRatio(significand, Limbs);
    const Fixed z2 = Multiply(z, z);
    Fixed atanh(Limbs);
    Fixed power = z;
    for (std::uint64_t j = 1; !power.IsZero(); j += 2) {
        atanh = Add(atanh, DivideSmall(power, j));
        power = Multiply(power, z2);
    }
    const Fixed lnm = MultiplySmall(atanh, 2);

    const std::int64_t c = exponent - HomeExponent;
    Fixed magnitude(Limbs);
    bool negative = false;
    if (c >= 0) {
        magnitude = Add(MultiplySmall(ln2, static_cast<std::uint64_t>(c)), lnm);
    } else {
        const Fixed levels = MultiplySmall(ln2, static_cast<std::uint64_t>(-c));
        negative = !Less(levels, lnm);
        magnitude = negative ? Subtract(levels, lnm) : Subtract(lnm, levels);
    }
    Fixed rest = DivideSmall(MultiplySmall(magnitude, static_cast<std::uint64_t>(frame)),
                             static_cast<std::uint64_t>(frames));
    // |A| < 2^15 ln 2 (|c| < 2^15): its whole multiple of ln 2 bit by bit.
    std::int64_t whole = 0;
    for (int bit = 16; bit >= 0; --bit) {
        const Fixed part = MultiplySmall(ln2, std::uint64_t{1} << bit);
        if (!Less(rest, part)) {
            rest = Subtract(rest, part);
            whole += std::int64_t{1} << bit;
        }
    }
    const int terms = ExpTerms(ln2.FractionBits());
    if (!negative) return FromSignificand(Round64(Exp(rest, terms)), HomeExponent + whole);
    if (rest.IsZero()) return Compose(std::uint64_t{1} << 63, HomeExponent - whole);
    return FromSignificand(Round64(Exp(Subtract(ln2, rest), terms)), HomeExponent - whole - 1);
}

}  // namespace

long double FrameStep(long double step, int frame, int frames) {
    if (frame >= frames) return step;
    std::uint64_t significand = 0;
    std::int64_t exponent = 0;
    if (!Decompose(step, significand, exponent)) return Compose(std::uint64_t{1} << 63, HomeExponent);
    if (significand == std::uint64_t{1} << 63)
        return ExtendedOf(PowerOfTwoStep(HomeExponent - exponent, frame, frames));
    return OddFrameStep(significand, exponent, frame, frames);
}

BinaryStep LevelFrameStep(std::int64_t level, int frame, int frames) {
    if (frame >= frames) return {std::uint64_t{1} << 63, HomeExponent - level};
    return PowerOfTwoStep(level, frame, frames);
}

long double ExtendedOf(BinaryStep step) { return Compose(step.significand, step.exponent); }

std::int64_t NearestLevel(long double step) {
    BinaryStep binary;
    if (!Decompose(step, binary.significand, binary.exponent)) return 0;
    return NearestLevel(binary);
}

std::int64_t NearestLevel(BinaryStep step) {
    // log2 of the significand is below 1/2 where it is below sqrt 2: the
    // largest 64-bit significand below sqrt 2 x 2^63.
    constexpr std::uint64_t RootTwo = 0xB504F333F9DE6484u;
    return HomeExponent - step.exponent - (step.significand > RootTwo ? 1 : 0);
}

std::string StepText(BinaryStep step) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text = "0x1";
    // The 63 bits after the leading one, as 16 hexadecimal digits less the
    // trailing zeros.
    std::uint64_t fraction = step.significand << 1;
    if (fraction != 0) {
        text += '.';
        while (fraction != 0) {
            text += Digits[fraction >> 60];
            fraction <<= 4;
        }
    }
    return text + "p" + std::to_string(step.exponent);
}

}  // namespace qarn::render
