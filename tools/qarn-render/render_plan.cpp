#include "render_plan.h"

#include <filesystem>

#include "engine/shown_view.h"
#include "engine/view_centre.h"
#include "frame_step.h"
#include "utf8_path.h"
#include "view_input.h"
#include "view_text.h"

namespace qarn::render {
namespace {

// Frame k of a zoom into a deep view: where its step is at least level
// 56's, a square of the 80-bit grid about the 80-bit point nearest the
// centre (made by the shallow path); deeper, its step alone.
struct DeepZoomFrame {
    BinaryStep step;
    std::optional<ViewSquare> square;
};

DeepZoomFrame DeepFrame(const DeepLocation& location, int k, int frames) {
    DeepZoomFrame frame{LevelFrameStep(location.level, k, frames), std::nullopt};
    if (frame.step.AtLeastLevel(MaxZoomLevel)) {
        const long double step = ExtendedOf(frame.step);
        const ViewPoint origin = OriginAround(NearestExtended(location), step);
        frame.square = ViewSquare{origin.re, origin.im, step};
    }
    return frame;
}

// --info's blocks for the frames of a zoom into a deep view, each as it is
// rendered: ViewInfo's lines for a square of the 80-bit grid, DeepFrameInfo's
// for a deep frame.
std::string DeepZoomFramesInfo(const DeepLocation& location, const ViewState& view, const ZoomFramesOption& zoom,
                               double shiftPerFrame) {
    std::string text;
    for (int k = zoom.first; k <= zoom.last; ++k) {
        const DeepZoomFrame frame = DeepFrame(location, k, zoom.count);
        std::string lines;
        if (frame.square) {
            ViewState shallow = view;
            shallow.OriginRe = frame.square->originRe;
            shallow.OriginIm = frame.square->originIm;
            shallow.PixelStep = frame.square->step;
            shallow.ZoomLevel = static_cast<std::int32_t>(NearestLevel(frame.step));
            lines = ViewInfo(shallow);
        } else {
            lines = DeepFrameInfo(location.re, location.im, frame.step, CentreFractionBits(location.level), view);
        }
        if (k > zoom.first) text += "\n";  // a blank line between blocks
        text += FrameBlock(k, lines, shiftPerFrame);
    }
    return text;
}

}  // namespace

std::int64_t RenderPlan::Rows() const {
    return static_cast<std::int64_t>(pictures.size()) * shape.height * shape.supersample;
}

RenderPlan MakeRenderPlan(const RenderOptions& options, const ViewState& view, const FrameIsWhole& whole) {
    RenderPlan plan;
    plan.view = view;
    plan.shown = ShownView(view);
    const int s = options.supersample;
    plan.shape = PictureShape{options.width, options.height, s};
    // --info with --zoom-frames shows where each frame is instead of
    // rendering the frames.
    const bool framesShown = options.info && options.zoomFrames;
    const std::optional<DeepLocation> deepView = DeepLocationOf(options);
    if (framesShown) {
        const ZoomFramesOption& zoom = *options.zoomFrames;
        plan.info = deepView ? DeepZoomFramesInfo(*deepView, view, zoom, options.shiftPerFrame)
                             : ZoomFramesInfo(plan.shown, zoom.first, zoom.last, zoom.count, options.shiftPerFrame);
    } else if (options.info) {
        plan.info = deepView ? DeepViewInfo(deepView->re, deepView->im, deepView->level,
                                            CentreFractionBits(deepView->level), view)
                             : ViewInfo(view);
    }
    plan.saveFile = options.saveFile;

    // The points computed: the picture that --scale K x S and --size
    // (W x S)x(H x S) describe.
    auto areaOf = [&](const ViewSquare& square) {
        return FramedArea(square, options.scale * s, options.width * s, options.height * s);
    };
    if (deepView) plan.deepest = DeepArea{*deepView, options.width * s, options.height * s, options.scale * s, {}};
    if (options.pictureFile || options.countsFile || options.continuousFile) {
        PlannedPicture picture;
        picture.area = areaOf(SquareOf(plan.shown));
        picture.deep = plan.deepest;
        picture.pictureFile = options.pictureFile;
        if (options.pictureFile) picture.format = FormatOfName(*options.pictureFile);
        picture.countsFile = options.countsFile;
        picture.continuousFile = options.continuousFile;
        plan.pictures.push_back(std::move(picture));
    }
    if (options.zoomFrames && !framesShown) {
        const ZoomFramesOption& zoom = *options.zoomFrames;
        plan.frameFolder = zoom.folder;
        const OutputFormat& format = FormatEntry(options.frameFormat);
        for (int k = zoom.first; k <= zoom.last; ++k) {
            const std::string name = Utf8OfPath(PathOfUtf8(zoom.folder) / ZoomFrameName(k, format.extension));
            if (whole(name)) continue;
            PlannedPicture frame;
            if (!deepView) {
                frame.area = areaOf(ZoomFrameSquare(plan.shown, k, zoom.count));
            } else if (const DeepZoomFrame deep = DeepFrame(*deepView, k, zoom.count); deep.square) {
                frame.area = areaOf(*deep.square);
            } else {
                frame.deep = plan.deepest;
                frame.deep->squareStep = deep.step;
            }
            frame.pictureFile = name;
            frame.format = &format;
            frame.frame = k;
            frame.colourShift = k * options.shiftPerFrame;
            plan.pictures.push_back(std::move(frame));
        }
    }
    return plan;
}

}  // namespace qarn::render
