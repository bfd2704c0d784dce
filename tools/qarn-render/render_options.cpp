#include "render_options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <vector>

#include "engine/view_state.h"
#include "output_formats.h"
#include "utf8_path.h"
#include "view_text.h"

namespace qarn::render {
namespace {

constexpr const char* Synopsis =
    "usage: qarn-render [VIEW.qarn | --at RE IM | --origin RE IM] [--level L] [--depth D] [--palette MODE]\n"
    "                   [--shift N] [-o OUT.bmp|OUT.png|OUT.exr] [--counts OUT.u32] [--scale K] [--size WxH]\n"
    "                   [--supersample S] [--threads N] [--info] [--save OUT.qarn]\n"
    "                   [--zoom-frames N DIR [--frames A-B] [--format png|exr] [--shift-per-frame D]]\n"
    "                   [--continuous OUT.f64] [--colouring counts|smooth] [--gradient FILE [--period P]]\n"
    "                   [--stats] [--find-minibrot] [--tolerance fine|fast|T] [--reference FILE]\n";

constexpr const char* Description =
    "Computes a view of the Mandelbrot set exactly as the Qarn viewer does and writes its picture.\n"
    "The view is a coordinate file, a location given as text, or else the start-up view.\n"
    "Without -o, --info, --save or --zoom-frames, the picture goes to VIEW.bmp (or qarn.bmp;\n"
    ".png when it is not the window's 512 x 512 picture).\n"
    "Exit codes: 0 written, 1 usage error, 2 view refused, 3 an output could not be written.\n";

class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override { return Synopsis; }
    // The value's name alone, without the library's notes on types and ranges.
    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string name = option->get_type_name();
        return name.empty() ? name : " " + name.substr(0, name.find(':'));
    }
};

struct Usage {
    std::string message;
};

ViewPoint ParseLocation(const std::vector<std::string>& texts, const char* option) {
    ViewPoint location;
    if (texts.size() != 2 || !ParseReal(texts[0], location.re) || !ParseReal(texts[1], location.im))
        throw Usage{std::string(option) + " needs two reals, RE and IM"};
    return location;
}

std::uint64_t ParsePaletteMode(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, hex ? 16 : 10);
    if (first == last || ec != std::errc{} || end != last)
        throw Usage{"--palette needs a number, such as 0x1007 (hexadecimal) or 4103"};
    return value;
}

// A whole decimal number, all of the text.
bool ParseWhole(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc{} && end == text.data() + text.size();
}

bool IsPictureSide(int side) { return side >= 2 && side <= MaxPictureSide && side % 2 == 0; }

// WxH: W and H even, 2 to 65536 (yuv420p video needs even sides).
void ParseSize(const std::string& text, RenderOptions& options) {
    const auto x = text.find_first_of("xX");
    const std::string_view all(text);
    if (x == std::string::npos || !ParseWhole(all.substr(0, x), options.width) ||
        !ParseWhole(all.substr(x + 1), options.height) || !IsPictureSide(options.width) ||
        !IsPictureSide(options.height))
        throw Usage{"--size " + text + ": needs WxH, W and H even numbers from 2 to 65536"};
}

// A-B: frames A to B of 0 .. N, inclusive, A <= B.
void ParseFrameRange(const std::string& text, ZoomFramesOption& frames) {
    const auto dash = text.find('-');
    const std::string_view all(text);
    if (dash == std::string::npos || !ParseWhole(all.substr(0, dash), frames.first) ||
        !ParseWhole(all.substr(dash + 1), frames.last) || frames.first < 0 || frames.first > frames.last ||
        frames.last > frames.count)
        throw Usage{"--frames " + text + ": needs A-B with 0 <= A <= B <= " + std::to_string(frames.count)};
}

// The window's own picture: what a bitmap holds.
bool IsWindowPicture(const RenderOptions& options) {
    return options.scale == 1 && options.supersample == 1 && options.width == ViewSize && options.height == ViewSize;
}

std::string DefaultPictureName(const RenderOptions& options) {
    const std::optional<std::string>& viewFile = options.viewFile;
    const char* extension = DefaultFormat(IsWindowPicture(options)).extension;
    if (!viewFile) return std::string("qarn") + extension;
    return Utf8OfPath(PathOfUtf8(*viewFile).replace_extension(extension));
}

// The choices that the library's checks do not cover.
void Complete(RenderOptions& options, const std::vector<std::string>& at, const std::vector<std::string>& origin,
              const std::optional<std::string>& palette, const std::vector<std::string>& frames,
              const std::optional<std::string>& size, const std::optional<std::string>& range) {
    if (!at.empty()) {
        options.at = ParseLocation(at, "--at");
        options.atText = LocationText{at[0], at[1]};
    }
    if (!origin.empty()) options.origin = ParseLocation(origin, "--origin");
    const bool located = options.at || options.origin;
    if (located && !options.level) throw Usage{"--at and --origin need --level"};
    if (options.level && !located) throw Usage{"--level needs --at or --origin"};
    if (options.origin && options.level && *options.level > MaxZoomLevel)
        throw Usage{"--origin: a view past level 56 is given by its centre, --at"};
    if (palette) options.palette = ParsePaletteMode(*palette);

    if (!frames.empty()) {
        int count = 0;
        if (!ParseWhole(frames[0], count) || count < 1 || count > 9999)
            throw Usage{"--zoom-frames needs a number of frames from 1 to 9999 and a folder"};
        const OutputFormat& format = FormatEntry(options.frameFormat);
        if (!format.Available())
            throw Usage{std::string("--zoom-frames: this build cannot write ") + format.name + " files"};
        options.zoomFrames = ZoomFramesOption{count, frames[1], 0, count};
        if (range) ParseFrameRange(*range, *options.zoomFrames);
    } else if (range) {
        throw Usage{"--frames needs --zoom-frames"};
    }

    options.width = options.height = ViewSize * options.scale;
    if (size) ParseSize(*size, options);
    const std::int64_t points = std::int64_t{options.width} * options.height * options.supersample *
                                options.supersample;
    if (points > MaxPicturePoints)
        throw Usage{"--size and --supersample: a picture computes at most 2^34 points (pixels x S x S)"};

    if (options.findMinibrot && (options.pictureFile || options.info || options.saveFile || options.zoomFrames ||
                                 options.countsFile || options.continuousFile))
        throw Usage{
            "--find-minibrot prints a view and writes nothing: no -o, --info, --save, --counts or --zoom-frames"};
    if (!options.pictureFile && !options.info && !options.saveFile && !options.zoomFrames && !options.findMinibrot)
        options.pictureFile = DefaultPictureName(options);
    if (options.pictureFile) {
        const OutputFormat* format = FormatOfName(*options.pictureFile);
        if (format == nullptr)
            throw Usage{"-o " + *options.pictureFile + ": the picture's name must end in " + AvailableExtensions()};
        if (format->windowOnly && !IsWindowPicture(options))
            throw Usage{*options.pictureFile + ": a " + format->name + " is the window's 512 x 512 picture; use " +
                        DefaultFormat(false).extension + " with --scale, --size or --supersample"};
        if (!format->Available())
            throw Usage{*options.pictureFile + ": this build cannot write " + format->name + " files; write " +
                        AvailableExtensions()};
    }
}

// A real, all of the text (decimal, as from_chars reads it), finite.
bool ParseRealNumber(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return first != last && ec == std::errc{} && end == last && std::isfinite(value);
}

// fine, fast, or a real between the two tolerances' own values.
void CompleteTolerance(RenderOptions& options, const std::optional<std::string>& tolerance) {
    if (!tolerance || *tolerance == "fine") return;
    if (*tolerance == "fast") {
        options.tolerance = deep::FastTolerance;
        return;
    }
    double value = 0.0;
    if (!ParseRealNumber(*tolerance, value) || !(static_cast<long double>(value) >= deep::FineTolerance.epsilon) ||
        !(static_cast<long double>(value) <= deep::FastTolerance.epsilon))
        throw Usage{"--tolerance " + *tolerance +
                    ": fine, fast, or a real from 2^-64 to 2^-26 (about 5.43e-20 to 1.49e-8)"};
    options.tolerance = deep::Tolerance{static_cast<long double>(value)};
}

void CompleteColouring(RenderOptions& options, const std::string& colouring,
                       const std::optional<std::string>& frameFormat, const std::optional<std::string>& shiftPerFrame,
                       bool zoomFrames) {
    options.smooth = colouring == "smooth";
    if (options.period && !options.gradientFile) throw Usage{"--period needs --gradient"};
    if (options.period && !(std::isfinite(*options.period) && *options.period > 0.0))
        throw Usage{"--period needs a real above 0"};
    if (frameFormat) {
        if (!zoomFrames) throw Usage{"--format needs --zoom-frames"};
        const OutputFormat* format = FormatOfKeyword(*frameFormat);
        if (format == nullptr || !format->HoldsFrames())
            throw Usage{"--format " + *frameFormat + ": the frames are " + FrameKeywords()};
        if (!format->Available())
            throw Usage{std::string("--format ") + *frameFormat + ": this build cannot write " + format->name +
                        " files"};
        options.frameFormat = format->format;
    } else {
        options.frameFormat = DefaultFrameFormat().format;
    }
    if (shiftPerFrame) {
        if (!zoomFrames) throw Usage{"--shift-per-frame needs --zoom-frames"};
        if (!ParseRealNumber(*shiftPerFrame, options.shiftPerFrame))
            throw Usage{"--shift-per-frame " + *shiftPerFrame + ": needs a real number of counts"};
    }
}

// The library reads a value that begins with "-" and a non-digit ("-.5",
// "-.5.png") as a short option. A negative real of --at or --origin gets its
// leading zero, which changes nothing of its value; any other such value is
// joined to its option's long name ("--output=-.5.png"), so that a file name
// is taken exactly as given. The library takes the arguments last first.
std::vector<std::string> ArgumentsForParser(int argc, const char* const* argv) {
    const std::vector<std::pair<std::string_view, std::string_view>> named = {{"-o", "--output"},
                                                                              {"--output", "--output"},
                                                                              {"--counts", "--counts"},
                                                                              {"--save", "--save"},
                                                                              {"--continuous", "--continuous"},
                                                                              {"--gradient", "--gradient"},
                                                                              {"--shift-per-frame",
                                                                               "--shift-per-frame"}};
    std::vector<std::string> forward;
    int reals = 0;  // values of --at or --origin still to come
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // Not a short option of ours, yet read as one.
        const bool looksLikeOption = arg.size() > 1 && arg[0] == '-' && arg[1] != '-' &&
                                     !std::isdigit(static_cast<unsigned char>(arg[1])) && arg != "-o" && arg != "-h";
        if (reals > 0) {
            --reals;
            if (arg.size() > 2 && arg[0] == '-' && arg[1] == '.' && std::isdigit(static_cast<unsigned char>(arg[2])))
                arg.insert(1, "0");
        } else if (arg == "--at" || arg == "--origin") {
            reals = 2;
        } else if (!forward.empty() && looksLikeOption) {
            for (const auto& [option, longName] : named) {
                if (forward.back() != option) continue;
                forward.back() = std::string(longName) + "=" + arg;
                arg.clear();
                break;
            }
            if (arg.empty()) continue;
        }
        forward.push_back(std::move(arg));
    }
    return {forward.rbegin(), forward.rend()};
}

}  // namespace

ParsedCommandLine ParseRenderOptions(int argc, const char* const* argv) {
    RenderOptions options;
    std::vector<std::string> at;
    std::vector<std::string> origin;
    std::optional<std::string> palette;
    std::vector<std::string> frames;
    std::optional<std::string> size;
    std::optional<std::string> range;
    std::string colouring = "counts";
    std::optional<std::string> frameFormat;
    std::optional<std::string> tolerance;
    std::optional<std::string> shiftPerFrame;

    CLI::App app(Description, "qarn-render");
    app.formatter(std::make_shared<UsageFormatter>());
    app.get_formatter()->column_width(26);
    auto* view = app.add_option("VIEW.qarn", options.viewFile, "coordinate file to render, read as the viewer loads it")
                     ->type_name("");
    auto* atOption = app.add_option("--at", at, "the view's centre, with --level")
                         ->expected(2)
                         ->allow_extra_args(false)
                         ->type_name("RE IM");
    auto* originOption = app.add_option("--origin", origin, "the view's top-left pixel, with --level")
                             ->expected(2)
                             ->allow_extra_args(false)
                             ->type_name("RE IM");
    view->excludes(atOption, originOption);
    atOption->excludes(originOption);
    app.add_option("--level", options.level,
                   "zoom level, 0 to 1000000: the step is 2^-(7+L); past 56 a deep view (with --at)")
        ->type_name("L");
    app.add_option("--depth", options.depth,
                   "512, 1024, 2048 or 4096 iterations (default 512, or the file's); deep views 1 to 2147483647")
        ->type_name("D");
    app.add_option("--palette", palette, "palette mode, such as 0x1007 (default), 0x0107 for grey")->type_name("MODE");
    app.add_option("--shift", options.shift, "colour shift, 0 to 4096 (default 0, or the file's)")->type_name("N");
    app.add_option("-o,--output", options.pictureFile, "the picture: .bmp (the viewer's Save As bytes), .png or .exr")
        ->type_name("OUT");
    app.add_option("--counts", options.countsFile,
                   "also the escape counts, little-endian unsigned 32-bit, row 0 (top) first, column 0 first")
        ->type_name("OUT.u32");
    app.add_option("--continuous", options.continuousFile,
                   "also the continuous counts mu, little-endian binary64, as --counts lays them out, 0 inside")
        ->type_name("OUT.f64");
    app.add_option("--colouring", colouring, "counts (the viewer's colours, default) or smooth (by mu)")
        ->type_name("counts|smooth")
        ->check(CLI::IsMember({"counts", "smooth"}));
    app.add_option("--gradient", options.gradientFile,
                   "colours of your own: lines of POSITION #RRGGBB, or a 256-line R G B palette file (.map)")
        ->type_name("FILE");
    app.add_option("--period", options.period, "counts of one cycle of --gradient (default the palette's size)")
        ->type_name("P");
    app.add_option("--scale", options.scale,
                   "K times the resolution, the step PixelStep / K: 512 x K pixels a side (default 1)")
        ->type_name("K")
        ->check(CLI::Range(1, 64));
    app.add_option("--size", size, "W x H pixels (even, 2 to 65536) at the step of --scale, about the same centre")
        ->type_name("WxH");
    app.add_option("--supersample", options.supersample,
                   "anti-aliasing: each pixel the mean of S x S points, in linear light (1 to 8)")
        ->type_name("S")
        ->check(CLI::Range(1, 8));
    app.add_option("--threads", options.threads, "computing threads (default: all cores)")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    app.add_flag("--info", options.info, "print the view as text; no picture unless -o is given too");
    app.add_flag("--find-minibrot", options.findMinibrot,
                 "print, as --info does, the view of the lowest-period minibrot in the view, with its period and size");
    app.add_option("--save", options.saveFile, "write the view's 46-byte coordinate file")->type_name("OUT.qarn");
    app.add_option("--zoom-frames", frames, "write N+1 frames DIR/frame-0000.png ... zooming in to the view")
        ->expected(2)
        ->allow_extra_args(false)
        ->type_name("N DIR");
    app.add_option("--frames", range, "only frames A to B of --zoom-frames (for sharing a sequence out)")
        ->type_name("A-B");
    app.add_option("--format", frameFormat, "the frames' format: png (default) or exr")->type_name("png|exr");
    app.add_option("--shift-per-frame", shiftPerFrame, "frame k's colours shifted by k x D counts (a real)")
        ->type_name("D");
    app.add_option("--tolerance", tolerance,
                   "deep views: fine (default, the 80-bit rounding), fast (2^-26), or T between: the share of the "
                   "square term that a skip of the approximation may drop")
        ->type_name("fine|fast|T");
    app.add_option("--reference", options.referenceFile,
                   "deep views: the reference orbit's file, read if it exists, else computed and written there "
                   "(one orbit for every process of a zoom video)")
        ->type_name("FILE");
    app.add_flag("--stats", options.stats,
                 "after each picture, its time and escape tests on standard error; at the end, the writing's share");

    ParsedCommandLine parsed;
    try {
        app.parse(ArgumentsForParser(argc, argv));
        CompleteColouring(options, colouring, frameFormat, shiftPerFrame, !frames.empty());
        CompleteTolerance(options, tolerance);
        Complete(options, at, origin, palette, frames, size, range);
    } catch (const CLI::CallForHelp&) {
        parsed.out = app.help();
        return parsed;
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = 1;
        parsed.err = std::string("qarn-render: ") + error.what() + "\n" + Synopsis +
                     "Run qarn-render --help for more.\n";
        return parsed;
    } catch (const Usage& usage) {
        parsed.exitCode = 1;
        parsed.err = "qarn-render: " + usage.message + "\n" + Synopsis + "Run qarn-render --help for more.\n";
        return parsed;
    }
    parsed.options = std::move(options);
    return parsed;
}

}  // namespace qarn::render
