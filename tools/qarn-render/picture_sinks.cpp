#include "picture_sinks.h"

#include "colour/display_mapping.h"
#include "persistence/bitmap_file.h"

#if defined(QARN_HAVE_PNG)
#include "png_writer.h"
#endif

namespace qarn::render {

std::string CountsSink::Take(std::span<const std::uint32_t> counts, int, int) {
    // The machine is little-endian (x86-64), like the file.
    return file_.Write({reinterpret_cast<const std::uint8_t*>(counts.data()), counts.size_bytes()});
}

Colouring::Colouring(const ViewState& view, int maxWidth)
    : view_(view), colours_(static_cast<std::size_t>(maxWidth)), rgb_(static_cast<std::size_t>(maxWidth) * 3) {
    BuildColourTable(tables_.colour);
    BuildMonoTable(tables_.mono, view.PaletteMode);
}

void Colouring::Line(std::span<const std::uint32_t> counts, std::span<std::uint32_t> pixels) const {
    MapCountLine(counts, view_, tables_, pixels);
}

std::span<const std::uint8_t> Colouring::Line(std::span<const std::uint32_t> counts) {
    const std::size_t width = counts.size();
    Line(counts, std::span(colours_.data(), width));
    for (std::size_t i = 0; i < width; ++i) {
        const std::uint32_t colour = colours_[i];
        rgb_[3 * i] = static_cast<std::uint8_t>(colour >> 16);
        rgb_[3 * i + 1] = static_cast<std::uint8_t>(colour >> 8);
        rgb_[3 * i + 2] = static_cast<std::uint8_t>(colour);
    }
    return {rgb_.data(), 3 * width};
}

#if defined(QARN_HAVE_PNG)
PngSink::PngSink(OutputFile& file, const ViewState& view, int size)
    : colouring_(view, size), writer_(std::make_unique<PngWriter>(file, size, size)) {}

PngSink::~PngSink() = default;

std::string PngSink::Take(std::span<const std::uint32_t> counts, int rows, int width) {
    for (int row = 0; row < rows; ++row) {
        const auto line = counts.subspan(static_cast<std::size_t>(row) * width, static_cast<std::size_t>(width));
        std::string failure = writer_->WriteRow(colouring_.Line(line));
        if (!failure.empty()) return failure;
    }
    return {};
}

std::string PngSink::Finish() { return writer_->Finish(); }
#endif

BitmapSink::BitmapSink(OutputFile& file, const ViewState& view)
    : file_(file), colouring_(view, ViewSize), pixels_(std::make_unique<std::array<std::uint32_t, PixelCount>>()) {}

std::string BitmapSink::Take(std::span<const std::uint32_t> counts, int rows, int width) {
    if (width != ViewSize || nextRow_ + rows > ViewSize) return file_.Path() + ": a bitmap is 512 x 512 pixels";
    for (int row = 0; row < rows; ++row, ++nextRow_) {
        // The display's rows are stored bottom-up.
        const auto line = counts.subspan(static_cast<std::size_t>(row) * ViewSize, ViewSize);
        colouring_.Line(line, std::span(pixels_->data() + static_cast<std::size_t>(ViewSize - 1 - nextRow_) * ViewSize,
                                        ViewSize));
    }
    return {};
}

std::string BitmapSink::Finish() {
    if (nextRow_ != ViewSize) return file_.Path() + ": the picture is incomplete";
    const BitmapHeader header = MakeBitmapHeader(24);
    const auto packed = PackDisplayPixels(*pixels_);
    std::string failure = file_.Write(header);
    if (failure.empty()) failure = file_.Write(packed);
    return failure;
}

}  // namespace qarn::render
