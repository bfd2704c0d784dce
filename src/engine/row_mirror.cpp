#include "engine/row_mirror.h"

#include <cstring>

namespace qarn {

// Why a point c' = (a, -b) has the count of c = (a, b), for every real a
// and every b that is neither zero nor a NaN, in the x87's 64-bit precision
// with round to nearest (the loop of EscapeCountWithState, and every kernel,
// which runs its operations in the same grouping).
//
// Three facts of rounding to nearest:
//  (R1) it is symmetric in sign: round(-v) = -round(v) for every real v, so
//       (-p) q = -(p q) and (-p) + (-q) = -(p + q), and the conversion to a
//       double too: double(-p) = -double(p). Overflow goes to the infinity
//       of the result's sign, so it is symmetric as well;
//  (R2) an exact sum of zero from operands that are not both zeros, p + q
//       with q = -p, is +0 whatever the signs; p + (+-0) = p for p nonzero;
//  (R3) a square has no sign to lose: (-p)(-p) = p p, and (-0)(-0) = +0.
//
// By induction on the iteration n, x'_n = x_n (the same 80 bits), and
// y'_n = -y_n where y_n is not zero, while where it is zero it is +0 in both
// orbits (y_n is never -0: y_0 = b is not zero, and (R2) below).
// It holds for n = 0 (x = a, y = +-b). One iteration:
//   xx = x x           the same operands: the same bits;
//   yy = y y           (R3): the same bits;
//   xy = x y           y nonzero: -(x y) in c' (R1; a zero product keeps the
//                      rule of signs, so it is negated too); y = +0: the same;
//   test xx + yy > 4   the same operands: the same outcome, at the same n;
//   x' = xx - (yy - a) the same operands: the same bits;
//   t = xy + xy        negated where xy was (R1, and -0 + -0 = -0), or the same;
//   y' = t + b         in c': (-t) + (-b), or t + (-b) where t is the same zero.
//                      Where t + b is exactly zero (t = -b, nonzero), both are
//                      +0 (R2); where t is a zero, the results are b and -b;
//                      otherwise -(t + b) by (R1).
// A NaN arises in both orbits at the same step (from inf - inf or 0 inf, whose
// operands agree up to sign), and no comparison with it succeeds in either.
// So every test has the same outcome and the counts are equal.
//
// The early exits see the same: the equal-state exit compares x with the
// saved x (the same bits) and y with the saved y (both negated, or both +0:
// negation keeps equality, and +0 equals -0 to the x87), and the kernels
// compare the double of the squared modulus first, the same bits in both.
// A c with a NaN part is excluded (b) or shared (a). In the kernels: the
// three-lane form multiplies y by x, doubles it with one addition and adds
// ci as the loop does; the split kernels rebuild -b from the pair
// (-hi, -lo), exactly -(hi + lo); the first-test shortcut (|c|^2 beyond the
// bound in doubles), the disk |c + 1| < 1/4 and the period-two disk read ci
// only through the square of its double, the look-ahead that keeps a lane's
// state where its squared modulus reaches 2 - |c| reads |c| and the squared
// modulus, and the replay that rebuilds an escape state from the last save
// point runs the loop's own iterations; a squared modulus within the
// doubles' margin of 4 is decided again by the exact loop. Every decision is
// thus the same, and the escape tests the kernels skip too.
//
// The states: count 0 has {0, 0}; count 1 has (a, b) itself, and
// double(-b) = -double(b) (R1); a count n >= 2 has the doubles of (x, y) at
// its escaping test, (x, -y) in c' where y is not zero, (R1) again. Where
// the double of y is zero the partner's state does not say which: an 80-bit
// y that is exactly +0 gives +0 in both, one too small for a double gives
// zeros of opposite signs. Such points are computed.
//
// b = 0 is left out: -0 + -0 = -0 but +0 + -0 = +0, so the rows of +0 and -0
// have the same counts but states whose zeros' signs follow the orbit.

namespace {

// The sign bit and the other 79 bits of an 80-bit value.
struct Image {
    std::uint64_t significand;
    std::uint16_t signExponent;
};

Image ImageOf(long double value) {
    Image image{};
    std::memcpy(&image.significand, &value, sizeof image.significand);
    std::memcpy(&image.signExponent, reinterpret_cast<const unsigned char*>(&value) + 8, sizeof image.signExponent);
    return image;
}

bool ExactNegations(long double a, long double b) {
    const Image x = ImageOf(a);
    const Image y = ImageOf(b);
    return x.significand == y.significand && (x.signExponent ^ y.signExponent) == 0x8000;
}

}  // namespace

void FindMirrorSources(const long double* im, int n, int* source) {
    for (int i = 0; i < n; ++i) source[i] = -1;
    if (n < 2) return;
    // Ordered comparisons fail on NaNs and on the values the x87 refuses.
    bool falling = true;
    bool rising = true;
    for (int i = 1; i < n; ++i) {
        falling = falling && im[i] <= im[i - 1];
        rising = rising && im[i] >= im[i - 1];
    }
    if (!falling && !rising) return;
    for (int i = 0; i < n; ++i) {
        const long double value = im[i];
        if (!(value < 0)) continue;  // zeros, positives (and NaNs, excluded above)
        const long double wanted = -value;
        // The first index whose value is not beyond `wanted` in the order.
        int low = 0;
        int high = n;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (falling ? im[mid] > wanted : im[mid] < wanted)
                low = mid + 1;
            else
                high = mid;
        }
        if (low < n && ExactNegations(im[low], value)) source[i] = low;
    }
}

bool MirroredState(std::uint32_t count, const EscapeState& from, EscapeState& to) {
    if (count == 0) {
        to = {0.0, 0.0};
        return true;
    }
    if (count >= 2 && from.y == 0.0) return false;
    to = {from.x, -from.y};
    return true;
}

}  // namespace qarn
