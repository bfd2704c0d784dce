#pragma once
#include <string>

namespace qarn::render {

// Whether a frame file already there holds a whole frame, by its format's
// own end mark (output_formats.h). A file cut short (a node that crashed
// before its data reached the disk, a copy that stopped) is then rendered
// again rather than kept for ever. A name of a format without such a check
// is whole when it exists.
[[nodiscard]] bool IsWholeFrameFile(const std::string& path);

// The end marks: a PNG ends with its IEND chunk; an OpenEXR file has every
// block its offset table names.
[[nodiscard]] bool EndsWithPngEnd(const std::string& path);
#if defined(QARN_HAVE_EXR)
[[nodiscard]] bool IsWholeExrFile(const std::string& path);  // exr_sink.cpp
#endif

}  // namespace qarn::render
