#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "output_file.h"

namespace qarn::render {

// An 8-bit RGB PNG file written row by row, top row first, into an open
// output file. Each row is filtered by the difference from the row above
// (PNG filter 2), worked out on whole pixels as they are coloured, and
// compressed: on Linux by ISA-L's deflate at level 1 with matches reaching
// back 4 bytes at most, on Windows by zlib's run-length deflate (Z_RLE). The
// set's pictures have wide areas of one colour, whose filtered bytes are long
// runs of zeros, which both find at a fraction of the cost of zlib's usual
// search (bench/print_bench.sh measures it). The two builds write the same
// pixels in different bytes. Memory grows with the width only. Each call
// returns an empty string on success, else the reason; after a failure the
// later calls fail too.
class PngWriter {
public:
    PngWriter(OutputFile& file, int width, int height);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // `colours` holds width pixels, 0x00RRGGBB.
    [[nodiscard]] std::string WriteRow(std::span<const std::uint32_t> colours);
    // Ends the file after the last row.
    [[nodiscard]] std::string Finish();

    struct Stream;

private:
    [[nodiscard]] std::string Deflate(bool last);
    [[nodiscard]] std::string Chunk(const char* type, std::span<const std::uint8_t> data);
    std::string Failed(const std::string& reason);

    OutputFile& file_;
    int width_;
    int rowsLeft_;
    std::unique_ptr<Stream> stream_;
    std::vector<std::uint32_t> above_;  // the colours of the row before
    std::vector<std::uint8_t> filtered_;
    std::vector<std::uint8_t> compressed_;
    std::string failure_;
};

// Whether a file ends with the IEND chunk that Finish writes last: a PNG cut
// short does not.
[[nodiscard]] bool EndsWithPngEnd(const std::string& path);

}  // namespace qarn::render
