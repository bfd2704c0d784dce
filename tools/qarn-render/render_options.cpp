#include "render_options.h"

#include <charconv>
#include <filesystem>
#include <string_view>

namespace qarn::render {
namespace {

bool ParseThreads(std::string_view text, unsigned& threads) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < 1 || value > 256) return false;
    threads = value;
    return true;
}

std::string DefaultBitmapName(const std::optional<std::string>& viewFile) {
    if (!viewFile) return "qarn.bmp";
    return std::filesystem::path(*viewFile).replace_extension(".bmp").string();
}

}  // namespace

std::optional<RenderOptions> ParseRenderOptions(int argc, const char* const* argv, std::string& error) {
    RenderOptions options;
    std::optional<std::string> bitmapFile;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takesValue = arg == "-o" || arg == "--counts" || arg == "--threads";
        if (takesValue && i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return std::nullopt;
        }
        if (arg == "-o") {
            bitmapFile = argv[++i];
        } else if (arg == "--counts") {
            options.countsFile = argv[++i];
        } else if (arg == "--threads") {
            if (!ParseThreads(argv[++i], options.threads)) {
                error = "--threads needs a whole number from 1 to 256";
                return std::nullopt;
            }
        } else if (arg == "-h" || arg == "--help") {
            error = {};
            return std::nullopt;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else if (options.viewFile) {
            error = "only one coordinate file can be rendered";
            return std::nullopt;
        } else {
            options.viewFile = std::string(arg);
        }
    }
    options.bitmapFile = bitmapFile ? *bitmapFile : DefaultBitmapName(options.viewFile);
    return options;
}

}  // namespace qarn::render
