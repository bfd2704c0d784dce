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

}  // namespace qarn::render
