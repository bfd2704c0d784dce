#pragma once
#include <cstdint>
#include <cstring>
#include <limits>

namespace qarn::deep {

// A real with the x87 format's 64-bit mantissa and an exponent of its own:
// the value m 2^e. Each operation gives the exact result rounded once to 64
// bits (to nearest, ties to even), as an x87 operation would in a format
// whose exponent never runs out: the mantissa part stays within
// [2^-1024, 2^1024) (or is 0), so that every x87 operation below acts on
// normal numbers, gives a normal or exact result, and its only rounding is
// the one to 64 bits. Needs the x87 unit at 64-bit precision, round to
// nearest (SetArithmeticMode).
struct WideReal {
    long double m = 0.0L;
    std::int64_t e = 0;
};

namespace wide_detail {

inline constexpr long double High = 0x1p1024L;
inline constexpr long double Low = 0x1p-1024L;
// Past this many binary orders apart, the smaller of two parts of a sum
// lies below 2^-150 of the larger (each within [2^-1024, 2^1024)): below
// half its unit, so the rounded sum is the larger itself.
inline constexpr std::int64_t Apart = 2200;

inline long double Abs(long double x) { return x < 0.0L ? -x : x; }

// 2^k exactly, for -16382 <= k <= 16383, from its bits.
inline long double Pow2(std::int64_t k) {
    const std::uint64_t mantissa = std::uint64_t{1} << 63;
    const auto biased = static_cast<std::uint16_t>(16383 + k);
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &mantissa, 8);
    std::memcpy(bytes + 8, &biased, 2);
    long double value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace wide_detail

// m 2^e with the mantissa part brought into range by exact powers of two.
// Infinities and NaN stay as they are (exponent 0).
[[gnu::noinline]] inline WideReal Rescaled(long double m, std::int64_t e) {
    using namespace wide_detail;
    if (m == 0.0L) return {0.0L, 0};
    if (!(Abs(m) <= std::numeric_limits<long double>::max())) return {m, 0};
    while (!(Abs(m) < High)) {
        m *= 0x1p-1024L;
        e += 1024;
    }
    while (Abs(m) < Low) {
        m *= 0x1p1024L;
        e -= 1024;
    }
    return {m, e};
}

[[gnu::always_inline]] inline WideReal Wide(long double m, std::int64_t e = 0) {
    using namespace wide_detail;
    const long double a = Abs(m);
    if (a < High && a >= Low) return {m, e};
    return Rescaled(m, e);
}

inline WideReal operator-(WideReal a) { return {-a.m, a.e}; }

inline WideReal operator+(WideReal a, WideReal b) {
    using namespace wide_detail;
    if (a.m == 0.0L) return b;
    if (b.m == 0.0L) return a;
    if (a.e == b.e) return Wide(a.m + b.m, a.e);
    const std::int64_t d = b.e - a.e;
    if (d > Apart) return b;
    if (d < -Apart) return a;
    // The smaller-exponent part is scaled exactly (its result stays at
    // least 2^-3224): the one rounding is the x87 sum's.
    if (d >= 0) return Wide(a.m * Pow2(-d) + b.m, b.e);
    return Wide(a.m + b.m * Pow2(d), a.e);
}

inline WideReal operator-(WideReal a, WideReal b) { return a + -b; }

inline WideReal operator*(WideReal a, WideReal b) { return Wide(a.m * b.m, a.e + b.e); }

// The sign of a rounded difference is the exact difference's.
inline bool operator<(WideReal a, WideReal b) { return a.e == b.e ? a.m < b.m : (a - b).m < 0.0L; }
inline bool operator==(WideReal a, WideReal b) { return a.e == b.e ? a.m == b.m : (a - b).m == 0.0L; }

// The value as an x87 real where it is a normal one or zero: 0 (signed)
// below 2^-16000, infinity above 2^16000.
inline long double NearestLongDouble(WideReal a) {
    using namespace wide_detail;
    if (a.m == 0.0L || a.e == 0) return a.m;
    if (a.e > 17024)
        return a.m < 0.0L ? -std::numeric_limits<long double>::infinity()
                          : std::numeric_limits<long double>::infinity();
    if (a.e < -17024) return a.m < 0.0L ? -0.0L : 0.0L;
    // Two exact scalings; the second only where its result is normal.
    const std::int64_t half = a.e / 2;
    const long double part = a.m * Pow2(half);
    const std::int64_t rest = a.e - half;
    if (a.e < 0 && Abs(part) < Pow2(-16000 - rest)) return a.m < 0.0L ? -0.0L : 0.0L;
    if (a.e > 0 && !(Abs(part) < Pow2(16000 - rest)))
        return a.m < 0.0L ? -std::numeric_limits<long double>::infinity()
                          : std::numeric_limits<long double>::infinity();
    return part * Pow2(rest);
}

// The double nearest the value (0 and infinity past the double's range).
inline double NearestDouble(WideReal a) { return static_cast<double>(NearestLongDouble(a)); }

}  // namespace qarn::deep
