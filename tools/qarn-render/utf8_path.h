#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace qarn::render {

// The tool keeps every file name as UTF-8 text (on Windows its command line
// is converted so). A std::filesystem::path made from a narrow string reads
// it in the system's code page on Windows, which garbles every letter beyond
// ASCII: names go through these instead. Elsewhere the bytes pass unchanged.
std::filesystem::path PathOfUtf8(std::string_view name);
std::string Utf8OfPath(const std::filesystem::path& path);

}  // namespace qarn::render
