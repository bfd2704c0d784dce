#include "view_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/arithmetic_mode.h"

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

std::string ViewInfo(const ViewState& view) {
    SetArithmeticMode();
    const long double half = static_cast<long double>(HalfView) * view.PixelStep;
    const long double centreRe = view.OriginRe + half;
    const long double centreIm = view.OriginIm - half;
    char text[512];
    std::snprintf(text, sizeof text,
                  "origin: %s %s\ncentre: %s %s\nlevel: %d\nstep: %s\ndepth: %u\npalette: 0x%04X\nshift: %d\n",
                  FormatReal(view.OriginRe).c_str(), FormatReal(view.OriginIm).c_str(), FormatReal(centreRe).c_str(),
                  FormatReal(centreIm).c_str(), static_cast<int>(view.ZoomLevel), FormatReal(view.PixelStep).c_str(),
                  static_cast<unsigned>(view.Depth), static_cast<unsigned>(view.PaletteMode),
                  static_cast<int>(view.ColourShift));
    return text;
}

}  // namespace qarn::render
