#pragma once
#include <span>
#include <string>
#include <string_view>

#include "picture_format.h"
#include "picture_sinks.h"

namespace qarn::render {

// One row of the table of picture formats: all that the tool knows of a
// format in one place, so that the options, the plan and the sinks agree.
struct OutputFormat {
    PictureFormat format;
    const char* extension;  // lower case, with its dot: ".png"; without it, the name --format takes
    const char* name;       // for messages: "PNG"
    // null where this build does not write the format.
    PictureSinkFactory make;
    // Whether a file holds a whole picture of the format, by its own end
    // mark (a PNG's IEND chunk, an OpenEXR file's every block); null where
    // being there is enough.
    bool (*whole)(const std::string& path);
    // It holds only the window's own 512 x 512 picture (the viewer's Save As
    // bytes): no other size, no supersampling, no zoom frames.
    bool windowOnly;
    // It carries each pixel's count and mu beside its colour, where a pixel
    // is one point (there is no mean of several points' counts).
    bool data;

    // Whether this build writes it.
    bool Available() const { return make != nullptr; }
    bool HoldsFrames() const { return !windowOnly; }
    bool CarriesData(int supersample) const { return data && supersample == 1; }
    // "png": the extension without its dot.
    std::string_view Keyword() const { return std::string_view(extension).substr(1); }
};

std::span<const OutputFormat> OutputFormats();
// The format of a file name's extension (any case), or null.
const OutputFormat* FormatOfName(std::string_view fileName);
// The format of --format's value ("png", any case), or null.
const OutputFormat* FormatOfKeyword(std::string_view keyword);
const OutputFormat& FormatEntry(PictureFormat format);
// Where no name is given: the table's first format that this build writes
// and that holds the picture (the window's own, or any other).
const OutputFormat& DefaultFormat(bool windowPicture);
// The table's first format that holds zoom frames and that this build writes.
const OutputFormat& DefaultFrameFormat();
// For messages: the extensions of the formats this build writes (".bmp, .png
// or .exr"), and the keywords of every format that holds frames ("png or
// exr").
std::string AvailableExtensions();
std::string FrameKeywords();

}  // namespace qarn::render
