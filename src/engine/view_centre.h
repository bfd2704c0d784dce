#pragma once
#include "engine/arithmetic_mode.h"
#include "engine/view_state.h"

namespace qarn {

// The centre of a view's 512 x 512 square is pixel (256, 256):
// origin + 256 x step on the real axis, origin - 256 x step on the
// imaginary one (rows go down). 256 x step is exact (a power of two times
// the step), so each part rounds once, in the sum. Going from a centre back
// to an origin is the same rule the other way round; the two may differ
// from the origin by the sums' rounding, so a view keeps its own origin.
//
// A ViewPoint is any point of the plane in 80-bit parts: a centre, an
// origin, or a location that qarn-render is given as text.
struct ViewPoint {
    long double re = 0.0L;
    long double im = 0.0L;
};

inline ViewPoint CentreOf(long double originRe, long double originIm, long double step) {
    SetArithmeticMode();
    const long double half = static_cast<long double>(HalfView) * step;
    return {originRe + half, originIm - half};
}

inline ViewPoint CentreOf(const ViewState& view) { return CentreOf(view.OriginRe, view.OriginIm, view.PixelStep); }

inline ViewPoint OriginAround(ViewPoint centre, long double step) {
    SetArithmeticMode();
    const long double half = static_cast<long double>(HalfView) * step;
    return {centre.re - half, centre.im + half};
}

}  // namespace qarn
