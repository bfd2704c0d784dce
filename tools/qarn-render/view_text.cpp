#include "view_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "deep/dyadic_text.h"
#include "engine/shown_view.h"
#include "engine/view_centre.h"
#include "frame_step.h"
#include "picture_areas.h"

namespace qarn::render {

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit format");

bool ParseReal(const std::string& text, long double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long double read = std::strtold(text.c_str(), &end);
    // Overflow gives an infinity and underflow a subnormal or zero: both are
    // the correctly rounded value, so ERANGE is not an error here.
    if (end != text.c_str() + text.size()) return false;
    value = read;
    return true;
}

std::string FormatReal(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.21Lg", value);
    return text;
}

std::string ViewInfo(const ViewState& given) {
    const ViewState view = given.ZoomLevel <= 0 ? ShownView(given) : given;
    const ViewPoint centre = CentreOf(view);
    char text[512];
    const int note = given.ZoomLevel <= 0
                         ? std::snprintf(text, sizeof text, "shown: the home view (level 0 always shows it)\n")
                         : 0;
    std::snprintf(text + note, sizeof text - static_cast<std::size_t>(note),
                  "origin: %s %s\ncentre: %s %s\nlevel: %d\nstep: %s\ndepth: %u\npalette: 0x%04X\nshift: %d\n",
                  FormatReal(view.OriginRe).c_str(), FormatReal(view.OriginIm).c_str(), FormatReal(centre.re).c_str(),
                  FormatReal(centre.im).c_str(), static_cast<int>(view.ZoomLevel), FormatReal(view.PixelStep).c_str(),
                  static_cast<unsigned>(view.Depth), static_cast<unsigned>(view.PaletteMode),
                  static_cast<int>(view.ColourShift));
    return text;
}

std::string DeepViewInfo(const deep::DyadicNumber& re, const deep::DyadicNumber& im, std::int64_t level,
                         std::int64_t fractionBits, const ViewState& view) {
    return DeepFrameInfo(re, im, BinaryStep{std::uint64_t{1} << 63, -(7 + level)}, fractionBits, view);
}

std::string DeepFrameInfo(const deep::DyadicNumber& re, const deep::DyadicNumber& im, BinaryStep step,
                          std::int64_t fractionBits, const ViewState& view) {
    char settings[160];
    std::snprintf(settings, sizeof settings, "level: %lld\nstep: %s\ndepth: %u\npalette: 0x%04X\nshift: %d\n",
                  static_cast<long long>(NearestLevel(step)), StepText(step).c_str(), static_cast<unsigned>(view.Depth),
                  static_cast<unsigned>(view.PaletteMode), static_cast<int>(view.ColourShift));
    return "centre: " + deep::DecimalText(re, fractionBits) + " " + deep::DecimalText(im, fractionBits) + "\n" +
           settings;
}

std::string FrameBlock(int frame, const std::string& lines, double shiftPerFrame) {
    std::string text = "frame: " + std::to_string(frame) + "\n" + lines;
    if (shiftPerFrame != 0.0) {
        char shift[64];
        std::snprintf(shift, sizeof shift, "frame shift: %.17g\n", frame * shiftPerFrame);
        text += shift;
    }
    return text;
}

std::string ZoomFramesInfo(const ViewState& view, int first, int last, int frames, double shiftPerFrame) {
    std::string text;
    for (int k = first; k <= last; ++k) {
        ViewState frame = view;
        const ViewSquare square = ZoomFrameSquare(view, k, frames);
        frame.OriginRe = square.originRe;
        frame.OriginIm = square.originIm;
        frame.PixelStep = square.step;
        // The last frame is the view, at its own level.
        if (k < frames) frame.ZoomLevel = static_cast<std::int32_t>(NearestLevel(square.step));
        if (k > first) text += "\n";  // a blank line between blocks
        text += FrameBlock(k, ViewInfo(frame), shiftPerFrame);
    }
    return text;
}

}  // namespace qarn::render
