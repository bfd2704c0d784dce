#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "deep/bla_table.h"
#include "engine/view_centre.h"
#include "picture_format.h"

namespace qarn::render {

// Two numbers exactly as the command line gave them: a deep view reads its
// centre from this text, with every digit.
struct LocationText {
    std::string re;
    std::string im;
};

struct ZoomFramesOption {
    int count = 0;  // frames 0 .. count make the sequence
    std::string folder;
    int first = 0;  // the frames this run writes, first to last
    int last = 0;
};

// The largest side of --size, and the most points (pixels times the
// supersampling's points) that one picture computes: 2^34, a 131072^2 grid,
// whose counts alone would fill 64 GiB.
inline constexpr int MaxPictureSide = 65536;
inline constexpr std::int64_t MaxPicturePoints = std::int64_t{1} << 34;

struct RenderOptions {
    // The view: a coordinate file, a centre or an origin with a level, or
    // else the start-up view.
    std::optional<std::string> viewFile;
    std::optional<ViewPoint> at;         // the centre, pixel (256, 256)
    std::optional<LocationText> atText;  // --at as given
    std::optional<ViewPoint> origin;     // the top-left pixel
    std::optional<std::int64_t> level;
    // Display settings that replace the view's.
    std::optional<std::int64_t> depth;
    std::optional<std::uint64_t> palette;
    std::optional<std::int64_t> shift;

    std::optional<std::string> pictureFile;  // set when a picture is to be written
    std::optional<std::string> countsFile;
    std::optional<std::string> continuousFile;  // mu, little-endian binary64
    std::optional<std::string> saveFile;
    std::optional<ZoomFramesOption> zoomFrames;
    PictureFormat frameFormat = PictureFormat::Png;
    bool info = false;
    bool findMinibrot = false;  // print the view of the lowest-period minibrot in the view
    int scale = 1;              // the step is PixelStep / scale
    int width = 0;              // the picture's pixels: 512 x scale, or --size
    int height = 0;
    int supersample = 1;   // each pixel the mean of supersample^2 points
    unsigned threads = 0;  // 0: one per hardware thread
    bool stats = false;
    // Colouring: by whole counts (the viewer's) or smoothly by mu, with the
    // view's palette or a gradient of period `period` counts (default the
    // palette's size); zoom frame k's colours shifted by k x shiftPerFrame.
    bool smooth = false;
    std::optional<std::string> gradientFile;
    std::optional<double> period;
    double shiftPerFrame = 0.0;
    // Deep views: how much of the square term a skip of the bilinear
    // approximation may drop (--tolerance; shallow views compute every
    // iteration and take no tolerance).
    deep::Tolerance tolerance = deep::FineTolerance;
    // Deep views: the file of the reference orbit, read where it exists,
    // written there otherwise (--reference).
    std::optional<std::string> referenceFile;
};

// What the command line asks for: options to run with, or an exit code with
// the text for standard output (--help) or standard error (a usage error).
struct ParsedCommandLine {
    std::optional<RenderOptions> options;
    int exitCode = 0;
    std::string out;
    std::string err;
};

ParsedCommandLine ParseRenderOptions(int argc, const char* const* argv);

}  // namespace qarn::render
