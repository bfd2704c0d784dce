#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "deep_band_source.h"
#include "engine/view_state.h"
#include "output_formats.h"
#include "picture_areas.h"
#include "picture_sinks.h"
#include "render_options.h"

namespace qarn::render {

// One picture of a run, the picture or a zoom frame, and the files made of
// it: all decided before anything is computed.
struct PlannedPicture {
    PictureArea area;                        // the points computed
    std::optional<DeepArea> deep;            // or, past level 56, these by perturbation
    std::optional<std::string> pictureFile;  // with its format
    const OutputFormat* format = nullptr;
    std::optional<std::string> countsFile;
    std::optional<std::string> continuousFile;
    int frame = -1;            // the zoom frame, or -1 for the picture
    double colourShift = 0.0;  // counts added to mu or the count: k x --shift-per-frame for frame k
    // The name --stats gives it.
    const std::string& Label() const { return pictureFile ? *pictureFile : countsFile ? *countsFile : *continuousFile; }
};

// What a run does, in order: the view's text, its coordinate file, the
// pictures.
struct RenderPlan {
    ViewState view;   // as defined: what --save writes
    ViewState shown;  // as the viewer shows it: its colours, depth and square
    PictureShape shape;
    std::string info;  // for standard output, before anything is written
    std::optional<std::string> saveFile;
    std::optional<std::string> frameFolder;  // made before the frames are listed
    std::vector<PlannedPicture> pictures;
    // A deep view's own picture, whose reference orbit every deep picture of
    // the run takes; none for a shallow view.
    std::optional<DeepArea> deepest;
    // Rows that the pictures compute, for the progress bar.
    std::int64_t Rows() const;
};

// Whether a frame file already holds a whole frame: it is then kept, so
// that an interrupted run resumes where it stopped.
using FrameIsWhole = std::function<bool(const std::string& path)>;

// The plan for the options and the view they define. Frames for which
// `whole` says yes are left out.
// A zoom into a deep view: frames whose step is at least the level-56 step
// are made as the shallow frames are (their square about the 80-bit value
// nearest the centre C), deeper ones by perturbation about C itself, each at
// its frame step (frame_step.h), the last at the view's own. Every deep
// frame shares one reference orbit, the view's own picture's (DeepReference
// of the plan's deepest area), so that any range of frames gives the bytes
// of the whole run.
RenderPlan MakeRenderPlan(const RenderOptions& options, const ViewState& view, const FrameIsWhole& whole);

}  // namespace qarn::render
