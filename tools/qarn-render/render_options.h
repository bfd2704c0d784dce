#pragma once
#include <optional>
#include <string>

namespace qarn::render {

struct RenderOptions {
    std::optional<std::string> viewFile;    // none: the start-up view
    std::string bitmapFile;                 // always set after parsing
    std::optional<std::string> countsFile;  // raw escape counts, if asked for
    unsigned threads = 0;                   // 0: one per hardware thread
};

inline constexpr const char* Usage =
    "usage: qarn-render [VIEW.qarn] [-o OUT.bmp] [--counts OUT.u32] [--threads N]\n"
    "  VIEW.qarn       coordinate file to render (default: the start-up view)\n"
    "  -o OUT.bmp      24-bit bitmap to write (default: VIEW with .bmp, or qarn.bmp)\n"
    "  --counts FILE   also write the 262,144 escape counts, little-endian 32-bit,\n"
    "                  row 0 (top) first, column 0 first\n"
    "  --threads N     computing threads, 1 to 256 (default: all cores)\n";

// Returns the options, or nothing with `error` set for a usage error.
std::optional<RenderOptions> ParseRenderOptions(int argc, const char* const* argv, std::string& error);

}  // namespace qarn::render
