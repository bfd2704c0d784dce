#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "band_renderer.h"
#include "colour/palette_tables.h"
#include "engine/view_state.h"
#include "output_file.h"

namespace qarn::render {

// The raw counts, little-endian unsigned 32-bit, row 0 first, column 0 first.
class CountsSink final : public BandSink {
public:
    explicit CountsSink(OutputFile& file) : file_(file) {}
    [[nodiscard]] std::string Take(std::span<const std::uint32_t> counts, int rows, int width) override;

private:
    OutputFile& file_;
};

// A picture of width x height pixels, each the mean in linear light of
// supersample x supersample points.
struct PictureShape {
    int width = ViewSize;
    int height = ViewSize;
    int supersample = 1;
};

// Colours the counts with the view's palette, shift and depth, as the
// viewer's display does, averages each pixel's points, and writes the
// picture's rows of 0x00RRGGBB colours, top first, in its format. Memory
// grows with the width and the supersampling, never with the height.
class PictureSink : public BandSink {
public:
    PictureSink(const ViewState& view, PictureShape shape);
    [[nodiscard]] std::string Take(std::span<const std::uint32_t> counts, int rows, int width) final;
    // After the last band.
    [[nodiscard]] virtual std::string Finish() = 0;

protected:
    [[nodiscard]] virtual std::string Row(std::span<const std::uint32_t> colours) = 0;

private:
    ViewState view_;
    PictureShape shape_;
    PaletteTables tables_;
    std::vector<std::uint32_t> colours_;  // one row of points
    std::vector<std::uint32_t> sums_;     // red, green, blue in linear light, for each pixel
    std::vector<std::uint32_t> pixels_;   // one row of the picture
};

using PictureSinkFactory = std::unique_ptr<PictureSink> (*)(OutputFile& file, const ViewState& view, PictureShape shape);

// The viewer's 512 x 512 bitmap (the shape must be the window's picture).
std::unique_ptr<PictureSink> MakeBitmapSink(OutputFile& file, const ViewState& view, PictureShape shape);
#if defined(QARN_HAVE_PNG)
std::unique_ptr<PictureSink> MakePngSink(OutputFile& file, const ViewState& view, PictureShape shape);
#endif

}  // namespace qarn::render
