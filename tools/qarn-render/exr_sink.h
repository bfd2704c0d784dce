#pragma once
#include <memory>
#include <string>

#include "picture_sinks.h"

namespace qarn::render {

// OpenEXR, in the builds that write it (QARN_HAVE_EXR): R, G, B in linear
// light as half floats and, where the format carries them
// (OutputFormat::CarriesData), the counts N and mu.
std::unique_ptr<PictureSink> MakeExrSink(OutputFile& file, const ViewState& view, PictureShape shape);

// Whether an OpenEXR file has every block its offset table names, each read
// back through the library.
[[nodiscard]] bool IsWholeExrFile(const std::string& path);

}  // namespace qarn::render
