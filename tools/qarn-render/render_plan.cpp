#include "render_plan.h"

#include <filesystem>

#include "engine/shown_view.h"
#include "frame_step.h"
#include "utf8_path.h"
#include "view_input.h"
#include "view_text.h"

namespace qarn::render {

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
        plan.info = ZoomFramesInfo(plan.shown, zoom.first, zoom.last, zoom.count, options.shiftPerFrame);
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
            } else if (const BinaryStep step = LevelFrameStep(deepView->level, k, zoom.count);
                       step.AtLeastLevel(MaxZoomLevel)) {
                const long double frameStep = ExtendedOf(step);
                const ViewPoint centre = NearestExtended(*deepView);
                const ViewPoint origin = OriginAround(centre, frameStep);
                frame.area = areaOf(ViewSquare{origin.re, origin.im, frameStep});
            } else {
                frame.deep = plan.deepest;
                frame.deep->squareStep = step;
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
