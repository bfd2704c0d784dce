#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace qarn::render {

// Writes a file beside its final name and moves it into place only when
// every byte is written, so a failure never leaves a partial output file.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns an empty string on success, else the reason.
    std::string Write(std::span<const std::span<const std::uint8_t>> parts);
    std::string Commit();

private:
    std::string path_;
    std::string temporary_;
    bool written_ = false;
    bool committed_ = false;
};

}  // namespace qarn::render
