#include "view_options.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/arithmetic_mode.h"
#include "persistence/coordinate_file.h"
#include "view_file.h"

namespace qarn::render {
namespace {

template <typename Field>
bool Fits(std::int64_t value) {
    return value >= std::numeric_limits<Field>::min() && value <= std::numeric_limits<Field>::max();
}

}  // namespace

std::string DefineView(const RenderOptions& options, ViewState& view) {
    SetArithmeticMode();
    view = ViewState{};
    InstallHomeView(view);
    if (options.viewFile) {
        std::string error = ReadViewFile(*options.viewFile, view);
        if (!error.empty()) return error;
    } else if (options.level) {
        if (!Fits<std::int32_t>(*options.level) || *options.level < 0 || *options.level > MaxZoomLevel)
            return "--level " + std::to_string(*options.level) + ": zoom level outside 0 to 56";
        view.ZoomLevel = static_cast<std::int32_t>(*options.level);
        view.PixelStep = std::ldexp(1.0L, -(7 + view.ZoomLevel));
        const long double half = static_cast<long double>(HalfView) * view.PixelStep;
        if (options.at) {
            view.OriginRe = options.at->re - half;
            view.OriginIm = options.at->im + half;
        } else if (options.origin) {
            view.OriginRe = options.origin->re;
            view.OriginIm = options.origin->im;
        }
    }

    // The settings given replace the view's and must be values a coordinate
    // file may hold: the record is checked exactly as a loaded file is.
    if (options.depth) {
        if (!Fits<std::uint32_t>(*options.depth))
            return "--depth " + std::to_string(*options.depth) + ": depth not 512, 1024, 2048 or 4096";
        view.Depth = static_cast<std::uint32_t>(*options.depth);
    }
    if (options.palette) {
        if (*options.palette > std::numeric_limits<std::uint32_t>::max())
            return "--palette: palette size not 256, 512, 1024, 2048 or 4096";
        view.PaletteMode = static_cast<std::uint32_t>(*options.palette);
    }
    if (options.shift) {
        if (!Fits<std::int32_t>(*options.shift))
            return "--shift " + std::to_string(*options.shift) + ": colour shift outside 0 to 4096";
        view.ColourShift = static_cast<std::int32_t>(*options.shift);
    }
    const CoordinateRecord record = EncodeViewState(view);
    ViewState checked = view;
    const CoordinateFileProblem problem = DecodeCoordinateFile(record, checked);
    if (problem != CoordinateFileProblem::None) {
        std::string reason = DescribeProblem(problem);
        const std::string prefix = "invalid coordinate file: ";
        if (reason.rfind(prefix, 0) == 0) reason.erase(0, prefix.size());
        return "view refused: " + reason;
    }
    view = checked;
    return {};
}

}  // namespace qarn::render
