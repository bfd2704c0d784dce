#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "output_file.h"

namespace qarn::render {

// An 8-bit RGB PNG file written row by row, top row first, into an open
// output file, through libpng. Each call returns an empty string on success,
// else the reason; after a failure the later calls fail too.
class PngWriter {
public:
    PngWriter(OutputFile& file, int width, int height);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    struct Library;

    // `rgb` holds width pixels of red, green and blue bytes.
    std::string WriteRow(std::span<const std::uint8_t> rgb);
    // Ends the file after the last row.
    std::string Finish();

private:
    std::string Failed();

    OutputFile& file_;
    std::unique_ptr<Library> png_;
    std::string failure_;
};

}  // namespace qarn::render
