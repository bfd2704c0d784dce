#pragma once
#include <string>

#include "engine/view_state.h"
#include "render_options.h"

namespace qarn::render {

// The view the options define: the coordinate file read exactly as the
// viewer loads it, a location given as text at a level, or else the
// start-up view; then the depth, palette and shift given, which must be
// values the viewer itself produces, like a file's. Returns an empty string,
// or one line saying why the view is refused (with `view` then undefined).
[[nodiscard]] std::string DefineView(const RenderOptions& options, ViewState& view);

}  // namespace qarn::render
