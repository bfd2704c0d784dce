#pragma once
// The continuous count over a line of points, W points at a time in vectors
// of doubles (GCC's vector extensions): per lane exactly the operations of
// ContinuousCount and Log2, in the same order, each rounded to nearest, so
// that every width gives the scalar definition's bits. Included by one
// translation unit per width, each compiled for its instruction set.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/continuous_count.h"

namespace qarn::lanes {

// The constants of Log2 (continuous_count.cpp), shared by every width.
inline constexpr double InvLn2Hi = 0x1.7154765200000p+0;
inline constexpr double InvLn2Lo = 0x1.705fc2eefa200p-33;
inline constexpr double Sqrt2 = 0x1.6a09e667f3bcdp+0;
inline constexpr double Series[11] = {2.0 / 3,  2.0 / 5,  2.0 / 7,  2.0 / 9,  2.0 / 11, 2.0 / 13,
                                      2.0 / 15, 2.0 / 17, 2.0 / 19, 2.0 / 21, 2.0 / 23};

template <int W>
struct Vectors {
    typedef double D __attribute__((vector_size(8 * W)));
    typedef std::int64_t I __attribute__((vector_size(8 * W)));
};

// Log2 of positive, normal, finite lanes: Log2's steps without its cases
// for zero, subnormals, infinity and NaN, which the caller keeps out.
template <int W>
inline __attribute__((always_inline)) typename Vectors<W>::D Log2Lanes(typename Vectors<W>::D v) {
    using D = typename Vectors<W>::D;
    using I = typename Vectors<W>::I;
    const I bits = std::bit_cast<I>(v);
    I e = (bits >> 52) - 1023;  // the sign bit is clear
    D m = std::bit_cast<D>((bits & 0x000FFFFFFFFFFFFF) | 0x3FF0000000000000);
    const I high = m >= Sqrt2;  // all ones where true
    m = high ? m * 0.5 : m;
    e -= high;
    const D f = m - 1.0;
    const D hfsq = 0.5 * f * f;
    const D s = f / (2.0 + f);
    const D z = s * s;
    const D z2 = z * z;
    const D z4 = z2 * z2;
    const D z8 = z4 * z4;
    const D p01 = Series[0] + Series[1] * z;
    const D p23 = Series[2] + Series[3] * z;
    const D p45 = Series[4] + Series[5] * z;
    const D p67 = Series[6] + Series[7] * z;
    const D p89 = Series[8] + Series[9] * z;
    const D q0 = p01 + p23 * z2;
    const D q1 = p45 + p67 * z2;
    const D q2 = p89 + Series[10] * z2;
    const D r = z * ((q0 + q1 * z4) + q2 * z8);
    const D hi = std::bit_cast<D>(std::bit_cast<I>(f - hfsq) & static_cast<std::int64_t>(0xFFFFFFFF00000000u));
    const D lo = ((f - hi) - hfsq) + s * (hfsq + r);
    D valueHi = hi * InvLn2Hi;
    D valueLo = (lo + hi) * InvLn2Lo + lo * InvLn2Hi;
    // e as a double, exactly (|e| < 2^51): added to the bits of 1.5 x 2^52.
    constexpr double Magic = 0x1.8p52;
    const D y = std::bit_cast<D>(std::bit_cast<I>(D{} + Magic) + e) - Magic;
    const D w = y + valueHi;
    valueLo += (y - w) + valueHi;
    valueHi = w;
    return valueLo + valueHi;
}

// Lanes 2j + odd of the pair (low, high), j = 0 .. W - 1: x or y of W
// escape states loaded as two vectors.
template <int W, int Odd, std::size_t... J>
inline __attribute__((always_inline)) typename Vectors<W>::D Alternate(typename Vectors<W>::D low,
                                                                       typename Vectors<W>::D high,
                                                                       std::index_sequence<J...>) {
    return __builtin_shufflevector(low, high, (2 * J + Odd)...);
}

// The continuation steps every block takes before it asks whether a lane
// still steps.
inline constexpr int UnconditionalSteps = 4;

template <int W>
inline __attribute__((always_inline)) bool AnyLane(typename Vectors<W>::I mask) {
    std::int64_t any = 0;
    for (int j = 0; j < W; ++j) any |= mask[j];
    return any != 0;
}

// K blocks of W points: counts, escape states, c's real parts as doubles,
// one imaginary part b. The blocks' chains (the steps, then two Log2 with a
// division each) are independent, so that the processor overlaps them. Every
// loop over the blocks is unrolled (the pragmas): left as loops, the blocks'
// vectors went through the stack at every step.
template <int W, int K>
inline __attribute__((always_inline)) void MuBlocks(const std::uint32_t* counts, const EscapeState* states,
                                                    const double* re, double b, double* mu) {
    using D = typename Vectors<W>::D;
    using I = typename Vectors<W>::I;
    typedef std::uint32_t U __attribute__((vector_size(4 * W)));
    D x[K], y[K], a[K];
    I count[K], escaped[K], stepping[K], steps[K];
    #pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        // The states' x and y parts apart by two shuffles of whole vectors
        // (a lane at a time they would pass through memory).
        D low, high;
        U narrow;
        std::memcpy(&low, states + k * W, sizeof low);
        std::memcpy(&high, states + k * W + W / 2, sizeof high);
        std::memcpy(&a[k], re + k * W, sizeof a[k]);
        std::memcpy(&narrow, counts + k * W, sizeof narrow);
        x[k] = Alternate<W, 0>(low, high, std::make_index_sequence<W>());
        y[k] = Alternate<W, 1>(low, high, std::make_index_sequence<W>());
        count[k] = __builtin_convertvector(narrow, I);
        escaped[k] = count[k] != 0;
        // Lanes still stepping: escaped, and |z| <= 1024; steps counts each
        // lane's own.
        stepping[k] = escaped[k] & (x[k] * x[k] + y[k] * y[k] <= 0x1p20);
        steps[k] = I{};
    }
    auto step = [&] {
        #pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            const D t = x[k] * y[k];
            const D nx = x[k] * x[k] - (y[k] * y[k] - a[k]);
            const D ny = (t + t) + b;
            x[k] = stepping[k] ? nx : x[k];
            y[k] = stepping[k] ? ny : y[k];
            steps[k] -= stepping[k];
            stepping[k] &= x[k] * x[k] + y[k] * y[k] <= 0x1p20;
        }
    };
    auto anyStepping = [&] {
        I any = stepping[0];
        #pragma GCC unroll 8
        for (int k = 1; k < K; ++k) any |= stepping[k];
        return AnyLane<W>(any);
    };
    // A lane that has stopped keeps its values, so the first steps run
    // whether or not any lane still steps (from |z| > 2 nearly every lane
    // takes 3 or 4): a loop with a branch predicted each time.
    static_assert(MaxContinuousSteps >= UnconditionalSteps);
    for (int s = 0; s < UnconditionalSteps; ++s) step();
    for (int s = UnconditionalSteps; s < MaxContinuousSteps && anyStepping(); ++s) step();
    D l2[K];
    I counted[K];
    #pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        const D r2 = x[k] * x[k] + y[k] * y[k];
        // Still stepping after the last step, or not finite: mu = n (and 0
        // for count 0). Lanes outside the formula take Log2(2), which needs
        // no special case.
        counted[k] = escaped[k] & ~stepping[k] & (r2 < __builtin_inf());
        l2[k] = Log2Lanes<W>(counted[k] ? r2 : D{} + 2.0);
    }
    #pragma GCC unroll 8
    for (int k = 0; k < K; ++k) l2[k] = Log2Lanes<W>(l2[k]);
    // Whole numbers below 2^51 as doubles, exactly.
    constexpr double Magic = 0x1.8p52;
    const I magic = std::bit_cast<I>(D{} + Magic);
    #pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        const D whole = std::bit_cast<D>(magic + count[k]) - Magic;
        const D total = std::bit_cast<D>(magic + (count[k] + steps[k] + 2)) - Magic;
        const D result = counted[k] ? total - l2[k] : whole;
        std::memcpy(mu + k * W, &result, sizeof result);
    }
}

// A line: whole runs of K blocks of W, then single blocks, the rest by the
// scalar definition.
template <int W, int K>
inline __attribute__((always_inline)) void MuLine(const std::uint32_t* counts, const EscapeState* states,
                                                  const double* re, double b, double* mu, std::size_t length) {
    std::size_t i = 0;
    for (; i + K * W <= length; i += K * W) {
        // Points inside the set (count 0) have mu 0: a run of them, common
        // across the set's interior, takes no steps and no logarithms.
        std::uint32_t any = 0;
        for (int j = 0; j < K * W; ++j) any |= counts[i + j];
        if (any == 0) {
            for (int j = 0; j < K * W; ++j) mu[i + j] = 0.0;
            continue;
        }
        MuBlocks<W, K>(counts + i, states + i, re + i, b, mu + i);
    }
    for (; i + W <= length; i += W) MuBlocks<W, 1>(counts + i, states + i, re + i, b, mu + i);
    for (; i < length; ++i) mu[i] = ContinuousCount(counts[i], states[i], re[i], b);
}

// One translation unit each (continuous_count_sse2.cpp, _avx2, _avx512).
void MuLine2(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length);
void MuLine4(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length);
void MuLine8(const std::uint32_t* counts, const EscapeState* states, const double* re, double b, double* mu,
             std::size_t length);

}  // namespace qarn::lanes
