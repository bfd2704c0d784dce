#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "deep/dyadic_number.h"
#include "engine/view_state.h"
#include "render_options.h"

namespace qarn::render {

// Views past the viewer's deepest level, MaxZoomLevel, are deep views: the
// step is still 2^-(7+L), but the centre is an exact binary number that no
// 80-bit value holds. Levels up to MaxDeepLevel are taken.
inline constexpr std::int64_t MaxDeepLevel = 1000000;

// A deep view's centre C and level L. C is a multiple of
// 2^-CentreFractionBits(L): 64 bits finer than the step, so that the
// picture's points c = C + offset are exact to far below a pixel.
struct DeepLocation {
    deep::DyadicNumber re;
    deep::DyadicNumber im;
    std::int64_t level = 0;
};

inline constexpr std::int64_t CentreFractionBits(std::int64_t level) { return 7 + level + 64; }

// A view file may be a location as text instead of a coordinate file: the
// lines --info prints (`centre: RE IM`, `level: L`, `depth: D`, `palette:`,
// `shift:`; `origin:` is used at levels 0 to 56, where it is exact), or the
// widely shared deep-zoom location lines `Re:`, `Im:`, `Zoom:` and
// `Iterations:` (Zoom Z: the view is 4/Z wide, level L = the whole number
// nearest to log2 Z; Iterations: the depth). Other lines are ignored. A file
// is text when all its bytes are printable ASCII or white space (a
// coordinate file always holds zero bytes in its level). Such a file is
// turned into the options it stands for, settings given on the command line
// replacing the file's, and `viewFile` is cleared. Returns an empty string,
// or one line saying why the file is refused.
[[nodiscard]] std::string ReadLocationText(RenderOptions& options);

// The nearest whole level to log2 of a shared location's Zoom (0 below 1);
// nullopt for text that is no positive number.
[[nodiscard]] std::optional<std::int64_t> LevelOfZoom(const std::string& zoom);

// The view the options define: the coordinate file read exactly as the
// viewer loads it, a location given as text at a level, or else the
// start-up view; then the depth, palette and shift given, which must be
// values the viewer itself produces, like a file's. Returns an empty string,
// or one line saying why the view is refused (with `view` then undefined).
// A deep view (--at with a level above MaxZoomLevel) gets its level and the
// 80-bit square nearest to it, a stand-in only: its points are those of
// DeepLocationOf.
[[nodiscard]] std::string DefineView(const RenderOptions& options, ViewState& view);

// The centre of a deep view: --at's text read exactly (decimal or
// hexadecimal, any number of digits) and rounded to the nearest multiple of
// 2^-CentreFractionBits(L), ties to even. nullopt for a view at levels 0 to
// MaxZoomLevel (those keep their 80-bit arithmetic), and for options that
// DefineView refuses.
[[nodiscard]] std::optional<DeepLocation> DeepLocationOf(const RenderOptions& options);

// The 80-bit point nearest to a deep view's centre (each part correctly
// rounded): the centre of its zoom frames at levels up to 56.
[[nodiscard]] ViewPoint NearestExtended(const DeepLocation& location);

}  // namespace qarn::render
