#pragma once
#include <string>

#include "engine/view_state.h"

namespace qarn::render {

// Reads a coordinate file over `view` exactly as the viewer's load reads
// it. Returns an empty string on success; otherwise the reason the file was
// refused, with `view` unchanged.
std::string ReadViewFile(const std::string& path, ViewState& view);

}  // namespace qarn::render
