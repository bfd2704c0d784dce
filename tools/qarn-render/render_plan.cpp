#include "render_plan.h"

#include <filesystem>

#include "engine/shown_view.h"
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
    if (framesShown) {
        const ZoomFramesOption& zoom = *options.zoomFrames;
        plan.info = ZoomFramesInfo(plan.shown, zoom.first, zoom.last, zoom.count, options.shiftPerFrame);
    } else if (options.info) {
        const std::optional<DeepLocation> deep = DeepLocationOf(options);
        plan.info = deep ? DeepViewInfo(deep->re, deep->im, deep->level, CentreFractionBits(deep->level), view)
                         : ViewInfo(view);
    }
    plan.saveFile = options.saveFile;

    // The points computed: the picture that --scale K x S and --size
    // (W x S)x(H x S) describe.
    auto areaOf = [&](const ViewSquare& square) {
        return FramedArea(square, options.scale * s, options.width * s, options.height * s);
    };
    if (options.pictureFile || options.countsFile || options.continuousFile) {
        PlannedPicture picture;
        picture.area = areaOf(SquareOf(plan.shown));
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
            const std::string name =
                Utf8OfPath((PathOfUtf8(zoom.folder) / ZoomFrameName(k)).replace_extension(format.extension));
            if (whole(name)) continue;
            PlannedPicture frame;
            frame.area = areaOf(ZoomFrameSquare(plan.shown, k, zoom.count));
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
