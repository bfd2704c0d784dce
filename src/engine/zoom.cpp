#include "engine/zoom.h"

#include <cstdint>

#include "engine/arithmetic_mode.h"

namespace qarn {
namespace {

enum class ZoomKind { In, Out, Reset, Recompute };

// 2^k by doubling 1.0 k times: exact, and no library call.
long double PowerOfTwo(int k) {
    long double value = 1.0L;
    for (int i = 0; i < k; ++i) value += value;
    return value;
}

void ZoomIn(ViewState& view, const SelectionState& selection, int pictureTop, int delta) {
    const long double step = view.PixelStep;
    const auto left = static_cast<long double>(selection.SelectionRect.left);
    const auto top = static_cast<long double>(selection.SelectionRect.top - pictureTop);
    view.OriginRe = view.OriginRe + left * step;
    view.OriginIm = view.OriginIm - top * step;
    view.PixelStep = step / PowerOfTwo(delta);
}

// Keeps the point at pixel (256, 256) where it is.
void ZoomOut(ViewState& view, int delta) {
    const long double factor = PowerOfTwo(-delta);
    const long double step = view.PixelStep;
    const long double shift = ((factor - 1.0L) * static_cast<long double>(HalfView)) * step;
    view.PixelStep = factor * step;
    view.OriginRe = view.OriginRe - shift;
    view.OriginIm = view.OriginIm + shift;
}

}  // namespace

void RefreshCursor(const ViewEngine& engine, Desktop& desktop) {
    desktop.ShowCursor(engine.Busy != 0 ? CursorShape::Wait : CursorShape::Arrow);
}

void ZoomView(ViewEngine& engine, SelectionState& selection, int autoZoomDirection, Desktop& desktop,
              int delta) {
    SetArithmeticMode();
    ViewState& view = engine.view;

    ZoomKind kind = ZoomKind::Reset;
    std::int64_t target = 0;
    if (delta != ResetDelta) {
        target = std::int64_t{view.ZoomLevel} + delta;
        if (target > MaxZoomLevel) return;
        if (target <= 0)
            target = 0;
        else
            kind = delta > 0 ? ZoomKind::In : delta < 0 ? ZoomKind::Out : ZoomKind::Recompute;
    }
    view.ZoomLevel = static_cast<std::int32_t>(target);

    engine.Busy = 1;
    RefreshCursor(engine, desktop);

    ZoomStatusText& text = engine.zoomText;
    text.SetDirection(u"    ");
    text.SetLevel(view.ZoomLevel);
    text.ShowComputing();

    const int pictureTop = desktop.PictureTop();
    switch (kind) {
    case ZoomKind::In:
        text.SetDirection(u"In  ");
        ZoomIn(view, selection, pictureTop, delta);
        break;
    case ZoomKind::Out:
        text.SetDirection(u"Out ");
        ZoomOut(view, delta);
        break;
    case ZoomKind::Reset:
        text.SetDirection(u"Out ");
        InstallHomeView(view);
        break;
    case ZoomKind::Recompute:
        break;
    }

    const char16_t* progress = kind == ZoomKind::Recompute ? text.LevelText()
                               : autoZoomDirection != 0    ? text.Whole()
                                                           : text.Ordinary();
    desktop.SetStatusText(StatusPart::Messages, progress);

    ComputeRows(engine, -ViewSize);

    PlaceSelectionRect(selection, pictureTop, HalfView, pictureTop + HalfView);
    selection.SelectionTracking = 0;
    engine.Busy = 0;
    RefreshCursor(engine, desktop);

    if (autoZoomDirection == 0) desktop.SetStatusText(StatusPart::Messages, u"Ready");
    text.ShowFinished();
    desktop.SetStatusText(StatusPart::Level, text.LevelText());
}

}  // namespace qarn
