#include "frame_files.h"

#include <filesystem>
#include <system_error>

#include "output_formats.h"
#include "utf8_path.h"

namespace qarn::render {

bool IsWholeFrameFile(const std::string& path) {
    const OutputFormat* format = FormatOfName(path);
    if (format != nullptr && format->whole != nullptr) return format->whole(path);
    std::error_code ec;
    return std::filesystem::is_regular_file(PathOfUtf8(path), ec);
}

}  // namespace qarn::render
