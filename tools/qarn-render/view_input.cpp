#include "view_input.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "deep/dyadic_text.h"
#include "engine/arithmetic_mode.h"
#include "engine/view_centre.h"
#include "persistence/coordinate_file.h"
#include "utf8_path.h"

namespace qarn::render {
namespace {

std::string ReadViewFile(const std::string& path, ViewState& view) {
    std::error_code ec;
    const auto status = std::filesystem::status(PathOfUtf8(path), ec);
    if (ec || !std::filesystem::exists(status)) return path + ": no such file";
    if (std::filesystem::is_directory(status)) return path + ": is a directory, not a coordinate file";
    if (!std::filesystem::is_regular_file(status)) return path + ": not a regular file";

#if defined(_WIN32)
    std::FILE* file = ::_wfopen(PathOfUtf8(path).c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return path + ": cannot be opened for reading";
    // One byte more than the largest form is enough to tell a wrong size.
    std::uint8_t bytes[CoordinateFileSize + 1];
    const std::size_t size = std::fread(bytes, 1, sizeof bytes, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return path + ": read error";

    const CoordinateFileProblem problem = DecodeCoordinateFile(std::span(bytes, size), view);
    if (problem != CoordinateFileProblem::None) return path + ": refused coordinate file: " + DescribeProblem(problem);
    return {};
}

// A setting given as text replaces the view's field if it fits the field's
// type; one that does not fit is refused like a file's invalid value.
template <typename Field, typename Given>
bool Replace(Field& field, Given value) {
    if (value < Given{std::numeric_limits<Field>::min()} || value > Given{std::numeric_limits<Field>::max()})
        return false;
    field = static_cast<Field>(value);
    return true;
}

std::string Refused(CoordinateFileProblem problem) { return std::string("view refused: ") + DescribeProblem(problem); }

bool IsDeepLevel(const RenderOptions& options) {
    return options.level && *options.level > MaxZoomLevel && *options.level <= MaxDeepLevel;
}

}  // namespace

std::optional<DeepLocation> DeepLocationOf(const RenderOptions& options) {
    if (options.viewFile || !IsDeepLevel(options) || !options.atText) return std::nullopt;
    const std::int64_t bits = CentreFractionBits(*options.level);
    std::optional<deep::DyadicNumber> re = deep::ReadDyadic(options.atText->re, bits);
    std::optional<deep::DyadicNumber> im = deep::ReadDyadic(options.atText->im, bits);
    if (!re || !im) return std::nullopt;
    return DeepLocation{std::move(*re), std::move(*im), *options.level};
}

std::string DefineView(const RenderOptions& options, ViewState& view) {
    SetArithmeticMode();
    view = ViewState{};
    InstallHomeView(view);
    if (options.viewFile) {
        std::string error = ReadViewFile(*options.viewFile, view);
        if (!error.empty()) return error;
    } else if (IsDeepLevel(options)) {
        if (!DeepLocationOf(options))
            return "view refused: --at past level 56 needs two finite numbers, decimal or hexadecimal";
        view.ZoomLevel = static_cast<std::int32_t>(*options.level);
        view.PixelStep = std::ldexp(1.0L, static_cast<int>(-(7 + *options.level)));
        const ViewPoint origin = OriginAround(*options.at, view.PixelStep);
        view.OriginRe = origin.re;
        view.OriginIm = origin.im;
    } else if (options.level) {
        if (!Replace(view.ZoomLevel, *options.level) || view.ZoomLevel < 0 || view.ZoomLevel > MaxZoomLevel)
            return options.at ? "view refused: zoom level outside 0 to " + std::to_string(MaxDeepLevel)
                              : Refused(CoordinateFileProblem::ZoomLevelOutOfRange);
        view.PixelStep = std::ldexp(1.0L, -(7 + view.ZoomLevel));
        if (options.at) {
            const ViewPoint origin = OriginAround(*options.at, view.PixelStep);
            view.OriginRe = origin.re;
            view.OriginIm = origin.im;
        } else if (options.origin) {
            view.OriginRe = options.origin->re;
            view.OriginIm = options.origin->im;
        }
    }
    if (options.depth && !Replace(view.Depth, *options.depth)) return Refused(CoordinateFileProblem::DepthInvalid);
    if (options.palette && !Replace(view.PaletteMode, *options.palette))
        return Refused(CoordinateFileProblem::PaletteSizeInvalid);
    if (options.shift && !Replace(view.ColourShift, *options.shift))
        return Refused(CoordinateFileProblem::ColourShiftOutOfRange);
    // A deep view's level is checked above; its other settings as any view's.
    ViewState settings = view;
    if (settings.ZoomLevel > MaxZoomLevel && !options.viewFile) settings.ZoomLevel = MaxZoomLevel;
    const CoordinateFileProblem problem = CheckViewSettings(settings);
    if (problem != CoordinateFileProblem::None) return Refused(problem);
    return {};
}

}  // namespace qarn::render
