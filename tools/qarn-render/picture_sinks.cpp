#include "picture_sinks.h"

#include <algorithm>

#include "colour/display_mapping.h"
#include "colour/linear_light.h"
#include "persistence/bitmap_file.h"

#if defined(QARN_HAVE_PNG)
#include "png_writer.h"
#endif

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
    std::string Row(std::span<const std::uint32_t> colours) override {
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

#if defined(QARN_HAVE_PNG)
class PngSink final : public PictureSink {
public:
    PngSink(OutputFile& file, const ViewState& view, PictureShape shape)
        : PictureSink(view, shape), writer_(file, shape.width, shape.height) {}
    std::string Finish() override { return writer_.Finish(); }

private:
    std::string Row(std::span<const std::uint32_t> colours) override { return writer_.WriteRow(colours); }

    PngWriter writer_;
};
#endif

}  // namespace

std::unique_ptr<PictureSink> MakeBitmapSink(OutputFile& file, const ViewState& view, PictureShape) {
    return std::make_unique<BitmapSink>(file, view);
}

#if defined(QARN_HAVE_PNG)
std::unique_ptr<PictureSink> MakePngSink(OutputFile& file, const ViewState& view, PictureShape shape) {
    return std::make_unique<PngSink>(file, view, shape);
}
#endif

std::string CountsSink::Take(std::span<const std::uint32_t> counts, int, int) {
    // The machine is little-endian (x86-64), like the file.
    return file_.Write({reinterpret_cast<const std::uint8_t*>(counts.data()), counts.size_bytes()});
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

std::string PictureSink::Take(std::span<const std::uint32_t> counts, int rows, int width) {
    const int s = shape_.supersample;
    if (width != shape_.width * s || rows % s != 0) return "the band does not fit the picture";
    const std::size_t line = static_cast<std::size_t>(width);
    for (int row = 0; row < rows; row += s) {
        if (s == 1) {
            MapCountLine(counts.subspan(row * line, line), view_, tables_, pixels_);
        } else {
            // Each pixel: the mean of its s x s points, component by
            // component, in linear light.
            std::fill(sums_.begin(), sums_.end(), 0u);
            for (int sub = 0; sub < s; ++sub) {
                MapCountLine(counts.subspan((row + sub) * line, line), view_, tables_, colours_);
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
        if (std::string failure = Row(pixels_); !failure.empty()) return failure;
    }
    return {};
}

}  // namespace qarn::render
