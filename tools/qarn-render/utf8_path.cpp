#include "utf8_path.h"

namespace qarn::render {

#if defined(_WIN32)
std::filesystem::path PathOfUtf8(std::string_view name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string Utf8OfPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
#else
std::filesystem::path PathOfUtf8(std::string_view name) { return std::filesystem::path(name); }

std::string Utf8OfPath(const std::filesystem::path& path) { return path.string(); }
#endif

}  // namespace qarn::render
