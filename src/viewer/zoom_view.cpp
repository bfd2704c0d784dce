#include "viewer/zoom_view.h"

#include "engine/zoom.h"
#include "viewer/selection.h"

namespace qarn {

void ZoomView(Viewer& viewer, Desktop& desktop, int delta) {
    const int pictureTop = desktop.PictureTop();
    const PicturePixel corner{viewer.SelectionRect.left, viewer.SelectionRect.top - pictureTop};
    const ZoomKind kind = MoveToLevel(viewer.engine.view, delta, corner);
    if (kind == ZoomKind::Refused) return;

    viewer.Busy = true;
    RefreshCursor(viewer, desktop);

    ZoomStatusText& text = viewer.zoomText;
    text.SetDirection(kind == ZoomKind::In ? u"In  " : kind == ZoomKind::Recompute ? u"    " : u"Out ");
    text.SetLevel(viewer.engine.view.ZoomLevel);
    text.ShowComputing();
    const char16_t* progress = kind == ZoomKind::Recompute     ? text.LevelText()
                               : viewer.AutoZoomDirection != 0 ? text.Whole()
                                                               : text.Ordinary();
    desktop.SetStatusText(StatusPart::Messages, progress);

    ComputeRows(viewer.engine, -ViewSize);

    PlaceSelectionRect(viewer, pictureTop, {HalfView, pictureTop + HalfView});
    viewer.SelectionTracking = false;
    viewer.Busy = false;
    RefreshCursor(viewer, desktop);

    if (viewer.AutoZoomDirection == 0) desktop.SetStatusText(StatusPart::Messages, u"Ready");
    text.ShowFinished();
    desktop.SetStatusText(StatusPart::Level, text.LevelText());
}

}  // namespace qarn
