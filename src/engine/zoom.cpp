#include "engine/zoom.h"

#include "engine/arithmetic_mode.h"

namespace qarn {
namespace {

// 2^k by doubling 1.0 k times: exact, and no library call.
long double PowerOfTwo(int k) {
    long double value = 1.0L;
    for (int i = 0; i < k; ++i) value += value;
    return value;
}

void ZoomIn(ViewState& view, PicturePixel corner, int delta) {
    const long double step = view.PixelStep;
    view.OriginRe = view.OriginRe + static_cast<long double>(corner.col) * step;
    view.OriginIm = view.OriginIm - static_cast<long double>(corner.row) * step;
    view.PixelStep = step / PowerOfTwo(delta);
}

// Keeps the point at pixel (256, 256) where it is: each part of the origin
// moves by d = ((F - 1) x 256) x s, one product and one rounding. This is not
// the centre rule of engine/view_centre.h (CentreOf, then OriginAround at the
// new step), which rounds twice, in the centre and in the new origin. On the
// grid of the levels (a power-of-two step, the origin a multiple of it, as in
// every view the viewer makes from the home view) the two agree, every sum
// being exact; off it (a step or origin from a coordinate file) they give
// other bits, and the viewer's pictures after a zoom out are those of the one
// product.
void ZoomOut(ViewState& view, int delta) {
    const long double factor = PowerOfTwo(-delta);
    const long double step = view.PixelStep;
    const long double shift = ((factor - 1.0L) * static_cast<long double>(HalfView)) * step;
    view.PixelStep = factor * step;
    view.OriginRe = view.OriginRe - shift;
    view.OriginIm = view.OriginIm + shift;
}

}  // namespace

ZoomKind MoveToLevel(ViewState& view, int delta, PicturePixel corner) {
    SetArithmeticMode();
    ZoomKind kind = ZoomKind::Reset;
    std::int64_t target = 0;
    if (delta != ResetDelta) {
        target = std::int64_t{view.ZoomLevel} + delta;
        if (target > MaxZoomLevel) return ZoomKind::Refused;
        if (target <= 0)
            target = 0;
        else
            kind = delta > 0 ? ZoomKind::In : delta < 0 ? ZoomKind::Out : ZoomKind::Recompute;
    }
    view.ZoomLevel = static_cast<std::int32_t>(target);
    switch (kind) {
    case ZoomKind::In: ZoomIn(view, corner, delta); break;
    case ZoomKind::Out: ZoomOut(view, delta); break;
    case ZoomKind::Reset: InstallHomeView(view); break;
    default: break;
    }
    return kind;
}

}  // namespace qarn
