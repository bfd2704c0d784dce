#pragma once
#include <string>

namespace qarn::render {

// Whether a frame file already there holds a whole frame, by its format's
// own end mark (output_formats.h). A file cut short (a node that crashed
// before its data reached the disk, a copy that stopped) is then rendered
// again rather than kept for ever. A name of a format without such a check
// is whole when it exists.
[[nodiscard]] bool IsWholeFrameFile(const std::string& path);

}  // namespace qarn::render
