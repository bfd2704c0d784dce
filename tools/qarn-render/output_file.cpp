#include "output_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qarn::render {

OutputFile::OutputFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".part") {}

OutputFile::~OutputFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

std::string OutputFile::Write(std::span<const std::span<const std::uint8_t>> parts) {
    std::FILE* file = std::fopen(temporary_.c_str(), "wb");
    if (file == nullptr) return path_ + ": cannot be created";
    bool ok = true;
    for (const auto& part : parts) ok = ok && std::fwrite(part.data(), 1, part.size(), file) == part.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) return path_ + ": write failed";
    written_ = true;
    return {};
}

std::string OutputFile::Commit() {
    if (!written_) return path_ + ": nothing written";
    std::error_code ec;
    std::filesystem::rename(temporary_, path_, ec);
    if (ec) return path_ + ": cannot be replaced (" + ec.message() + ")";
    committed_ = true;
    return {};
}

}  // namespace qarn::render
