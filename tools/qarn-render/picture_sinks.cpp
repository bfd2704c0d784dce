#include "picture_sinks.h"

#include <algorithm>

#include "colour/display_mapping.h"
#include "colour/linear_light.h"
#include "persistence/bitmap_file.h"

#include "png_writer.h"

namespace qarn::render {
namespace {

// The 512 x 512 bitmap that the viewer's Save As writes, byte for byte. A
// bitmap is stored bottom-up, so the picture is kept whole (the display's
// own size) and written at the end.
class BitmapSink final : public PictureSink {
public:
    BitmapSink(OutputFile& file, const ViewState& view)
        : PictureSink(view, {}), file_(file), pixels_(std::make_unique<std::array<std::uint32_t, PixelCount>>()) {}

    std::string Finish() override {
        if (nextRow_ != ViewSize) return file_.Path() + ": the picture is incomplete";
        const BitmapHeader header = MakeBitmapHeader(24);
        const auto packed = PackDisplayPixels(*pixels_);
        std::string failure = file_.Write(header);
        if (failure.empty()) failure = file_.Write(packed);
        return failure;
    }

private:
    std::string Row(const PictureRow& row) override {
        const std::span<const std::uint32_t> colours = row.colours;
        if (colours.size() != ViewSize || nextRow_ == ViewSize) return file_.Path() + ": a bitmap is 512 x 512 pixels";
        // The display's rows are stored bottom-up.
        std::copy(colours.begin(), colours.end(),
                  pixels_->begin() + static_cast<std::ptrdiff_t>(ViewSize - 1 - nextRow_++) * ViewSize);
        return {};
    }

    OutputFile& file_;
    std::unique_ptr<std::array<std::uint32_t, PixelCount>> pixels_;
    int nextRow_ = 0;
};

class PngSink final : public PictureSink {
public:
    PngSink(OutputFile& file, const ViewState& view, PictureShape shape)
        : PictureSink(view, shape), writer_(file, shape.width, shape.height) {}
    std::string Finish() override { return writer_.Finish(); }

private:
    std::string Row(const PictureRow& row) override { return writer_.WriteRow(row.colours); }

    PngWriter writer_;
};

}  // namespace

std::unique_ptr<PictureSink> MakeBitmapSink(OutputFile& file, const ViewState& view, PictureShape) {
    return std::make_unique<BitmapSink>(file, view);
}

std::unique_ptr<PictureSink> MakePngSink(OutputFile& file, const ViewState& view, PictureShape shape) {
    return std::make_unique<PngSink>(file, view, shape);
}

std::string CountsSink::Take(const Band& band) {
    // The machine is little-endian (x86-64), like the file.
    return file_.Write({reinterpret_cast<const std::uint8_t*>(band.counts.data()), band.counts.size_bytes()});
}

std::string ContinuousSink::Take(const Band& band) {
    if (band.mu.size() != band.counts.size()) return file_.Path() + ": the continuous counts were not computed";
    // Little-endian binary64, as the machine holds them (x86-64).
    return file_.Write({reinterpret_cast<const std::uint8_t*>(band.mu.data()), band.mu.size_bytes()});
}

PictureSink::PictureSink(const ViewState& view, PictureShape shape)
    : view_(view),
      shape_(shape),
      colours_(static_cast<std::size_t>(shape.width) * shape.supersample),
      sums_(shape.supersample > 1 ? 3 * static_cast<std::size_t>(shape.width) : 0),
      pixels_(static_cast<std::size_t>(shape.width)) {
    BuildColourTable(tables_.colour);
    BuildMonoTable(tables_.mono, view.PaletteMode);
}

std::string PictureSink::Take(const Band& band) {
    const int s = shape_.supersample;
    const int rows = band.rows;
    if (band.width != shape_.width * s || rows % s != 0) return "the band does not fit the picture";
    const std::size_t line = static_cast<std::size_t>(band.width);
    const std::span<const std::uint32_t> counts = band.counts;
    const bool coloured = !band.colours.empty();
    // A line of points' colours: as the computing threads coloured them, or
    // the viewer's mapping of the counts.
    auto colourLine = [&](int row, std::span<std::uint32_t> out) {
        if (coloured)
            std::copy_n(band.colours.begin() + static_cast<std::ptrdiff_t>(row * line), line, out.begin());
        else
            MapCountLine(counts.subspan(row * line, line), view_, tables_, out);
    };
    for (int row = 0; row < rows; row += s) {
        PictureRow picture{pixels_, {}, {}};
        if (s == 1) {
            // The computing threads' colours as they are; else the mapping.
            if (coloured)
                picture.colours = band.colours.subspan(row * line, line);
            else
                colourLine(row, pixels_);
            picture.counts = counts.subspan(row * line, line);
            if (!band.mu.empty()) picture.mu = band.mu.subspan(row * line, line);
        } else {
            // Each pixel: the mean of its s x s points, component by
            // component, in linear light.
            std::fill(sums_.begin(), sums_.end(), 0u);
            for (int sub = 0; sub < s; ++sub) {
                colourLine(row + sub, colours_);
                for (std::size_t point = 0; point < line; ++point) {
                    const std::uint32_t colour = colours_[point];
                    std::uint32_t* sum = &sums_[3 * (point / s)];
                    sum[0] += LinearOf(static_cast<std::uint8_t>(colour >> 16));
                    sum[1] += LinearOf(static_cast<std::uint8_t>(colour >> 8));
                    sum[2] += LinearOf(static_cast<std::uint8_t>(colour));
                }
            }
            const auto points = static_cast<std::uint32_t>(s * s);
            for (std::size_t pixel = 0; pixel < pixels_.size(); ++pixel) {
                const std::uint32_t* sum = &sums_[3 * pixel];
                pixels_[pixel] = std::uint32_t{EncodedOf(sum[0], points)} << 16 |
                                 std::uint32_t{EncodedOf(sum[1], points)} << 8 | EncodedOf(sum[2], points);
            }
        }
        if (std::string failure = Row(picture); !failure.empty()) return failure;
    }
    return {};
}

}  // namespace qarn::render
