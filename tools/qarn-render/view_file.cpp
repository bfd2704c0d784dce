#include "view_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "persistence/coordinate_file.h"

namespace qarn::render {

std::string ReadViewFile(const std::string& path, ViewState& view) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return path + ": no such file";
    if (std::filesystem::is_directory(status)) return path + ": is a directory, not a coordinate file";
    if (!std::filesystem::is_regular_file(status)) return path + ": not a regular file";

    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return path + ": cannot be opened for reading";
    // One byte more than the largest form is enough to tell a wrong size.
    std::uint8_t bytes[CoordinateFileSize + 1];
    const std::size_t size = std::fread(bytes, 1, sizeof bytes, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return path + ": read error";

    const CoordinateFileProblem problem = DecodeCoordinateFile(std::span(bytes, size), view);
    if (problem != CoordinateFileProblem::None) return path + ": " + DescribeProblem(problem);
    return {};
}

}  // namespace qarn::render
