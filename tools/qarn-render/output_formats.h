#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/view_state.h"
#include "picture_format.h"
#include "picture_sinks.h"

namespace qarn::render {

class OutputFile;

// One row of the table of picture formats: all that the tool knows of a
// format in one place, so that the options, the plan and the sinks agree.
struct OutputFormat {
    PictureFormat format;
    const char* extension;  // lower case, with its dot: ".png"
    const char* name;       // for messages: "PNG"
    // Whether this build writes it; `make` is null where it does not.
    bool Available() const { return make != nullptr; }
    PictureSinkFactory make;
    // Whether a file holds a whole picture of the format, by its own end
    // mark (a PNG's IEND chunk, an OpenEXR file's every block); null where
    // being there is enough.
    bool (*whole)(const std::string& path);
};

std::span<const OutputFormat> OutputFormats();
// The format of a file name's extension (any case), or null.
const OutputFormat* FormatOfName(std::string_view fileName);
const OutputFormat& FormatEntry(PictureFormat format);

}  // namespace qarn::render
