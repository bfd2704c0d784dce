#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace qarn::render {

struct Location {
    long double re = 0.0L;
    long double im = 0.0L;
};

struct ZoomFramesOption {
    int count = 0;  // frames 0 .. count are written
    std::string folder;
};

enum class PictureFormat { Bitmap, Png };

struct RenderOptions {
    // The view: a coordinate file, a centre or an origin with a level, or
    // else the start-up view.
    std::optional<std::string> viewFile;
    std::optional<Location> at;      // the centre, pixel (256, 256)
    std::optional<Location> origin;  // the top-left pixel
    std::optional<std::int64_t> level;
    // Display settings that replace the view's.
    std::optional<std::int64_t> depth;
    std::optional<std::uint64_t> palette;
    std::optional<std::int64_t> shift;

    std::optional<std::string> pictureFile;  // set when a picture is to be written
    PictureFormat pictureFormat = PictureFormat::Bitmap;
    std::optional<std::string> countsFile;
    std::optional<std::string> saveFile;
    std::optional<ZoomFramesOption> zoomFrames;
    bool info = false;
    int scale = 1;         // the picture is (512 x scale) pixels on a side
    unsigned threads = 0;  // 0: one per hardware thread
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

// Whether this build writes PNG files.
bool CanWritePng();

}  // namespace qarn::render
