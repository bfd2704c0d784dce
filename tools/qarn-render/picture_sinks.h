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
    [[nodiscard]] std::string Take(const Band& band) override;

private:
    OutputFile& file_;
};

// The continuous counts mu, little-endian binary64, in the layout of the
// counts, 0 where the count is 0.
class ContinuousSink final : public BandSink {
public:
    explicit ContinuousSink(OutputFile& file) : file_(file) {}
    std::string Take(const Band& band) override;

private:
    OutputFile& file_;
};

// One row of a picture: its pixels' colours and, without supersampling,
// their counts and (where computed) mu.
struct PictureRow {
    std::span<const std::uint32_t> colours;
    std::span<const std::uint32_t> counts;
    std::span<const double> mu;
};

// A picture of width x height pixels, each the mean in linear light of
// supersample x supersample points.
struct PictureShape {
    int width = ViewSize;
    int height = ViewSize;
    int supersample = 1;
};

// Colours the counts with the view's palette, shift and depth, as the
// viewer's display does (or takes the colours the band brings), averages
// each pixel's points, and writes the
// picture's rows of 0x00RRGGBB colours, top first, in its format. Memory
// grows with the width and the supersampling, never with the height.
class PictureSink : public BandSink {
public:
    PictureSink(const ViewState& view, PictureShape shape);
    [[nodiscard]] std::string Take(const Band& band) final;
    // After the last band.
    [[nodiscard]] virtual std::string Finish() = 0;

protected:
    [[nodiscard]] virtual std::string Row(const PictureRow& row) = 0;

private:
    ViewState view_;
    PictureShape shape_;
    PaletteTables tables_;
    std::vector<std::uint32_t> colours_;  // one row of points
    std::vector<std::uint32_t> sums_;     // red, green, blue in linear light, for each pixel
    std::vector<std::uint32_t> pixels_;   // one row of the picture
};

using PictureSinkFactory = std::unique_ptr<PictureSink> (*)(OutputFile& file, const ViewState& view,
                                                            PictureShape shape);

// The viewer's 512 x 512 bitmap (the shape must be the window's picture).
std::unique_ptr<PictureSink> MakeBitmapSink(OutputFile& file, const ViewState& view, PictureShape shape);
std::unique_ptr<PictureSink> MakePngSink(OutputFile& file, const ViewState& view, PictureShape shape);

}  // namespace qarn::render
