#include "viewer/zoom_view.h"

#include "engine/zoom.h"
#include "viewer/selection.h"

namespace qarn {

void ZoomView(Viewer& viewer, Desktop& desktop, int delta) {
    SelectionState& selection = viewer.selection;
    const int pictureTop = desktop.PictureTop();
    const PicturePixel corner{selection.SelectionRect.left, selection.SelectionRect.top - pictureTop};
    const ZoomKind kind = MoveToLevel(viewer.engine.view, delta, corner);
    if (kind == ZoomKind::Refused) return;

    viewer.Busy = 1;
    RefreshCursor(viewer, desktop);

    ZoomStatusText& text = viewer.zoomText;
    text.SetDirection(kind == ZoomKind::In ? u"In  " : kind == ZoomKind::Recompute ? u"    " : u"Out ");
    text.SetLevel(viewer.engine.view.ZoomLevel);
    text.ShowComputing();
    const char16_t* progress = kind == ZoomKind::Recompute ? text.LevelText()
                               : viewer.AutoZoomDirection != 0 ? text.Whole()
                                                               : text.Ordinary();
    desktop.SetStatusText(StatusPart::Messages, progress);

    ComputeRows(viewer.engine, -ViewSize);

    PlaceSelectionRect(selection, pictureTop, {HalfView, pictureTop + HalfView});
    selection.SelectionTracking = 0;
    viewer.Busy = 0;
    RefreshCursor(viewer, desktop);

    if (viewer.AutoZoomDirection == 0) desktop.SetStatusText(StatusPart::Messages, u"Ready");
    text.ShowFinished();
    desktop.SetStatusText(StatusPart::Level, text.LevelText());
}

}  // namespace qarn
