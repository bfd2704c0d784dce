#pragma once
#include <string>

#include "engine/view_state.h"
#include "render_options.h"

namespace qarn::render {

// The view the options define: the coordinate file read as the viewer loads
// it, a location given as text at a level, or the start-up view; then the
// depth, palette and shift given, checked as a file's values are. Returns an
// empty string, or one line saying why the view is refused.
std::string DefineView(const RenderOptions& options, ViewState& view);

}  // namespace qarn::render
