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
    std::string Take(std::span<const std::uint32_t> counts, int rows, int width) override;

private:
    OutputFile& file_;
};

// Colours the counts with the view's palette, shift and depth, as the
// viewer's display does, line by line.
class Colouring {
public:
    Colouring(const ViewState& view, int maxWidth);
    // One line of counts into red, green and blue bytes.
    std::span<const std::uint8_t> Line(std::span<const std::uint32_t> counts);
    // One line of counts into display pixels, 0x00RRGGBB.
    void Line(std::span<const std::uint32_t> counts, std::span<std::uint32_t> pixels) const;

private:
    ViewState view_;
    PaletteTables tables_;
    std::vector<std::uint32_t> colours_;
    std::vector<std::uint8_t> rgb_;
};

#if defined(QARN_HAVE_PNG)
class PngWriter;

// An 8-bit RGB PNG of the picture, each row written as its band arrives.
class PngSink final : public BandSink {
public:
    PngSink(OutputFile& file, const ViewState& view, int size);
    ~PngSink() override;
    std::string Take(std::span<const std::uint32_t> counts, int rows, int width) override;
    // After the last band.
    std::string Finish();

private:
    Colouring colouring_;
    std::unique_ptr<PngWriter> writer_;
};
#endif

// The 512 x 512 bitmap that the viewer's Save As writes, byte for byte. A
// bitmap is stored bottom-up, so the picture is kept whole (the display's
// own size) and written at the end.
class BitmapSink final : public BandSink {
public:
    BitmapSink(OutputFile& file, const ViewState& view);
    std::string Take(std::span<const std::uint32_t> counts, int rows, int width) override;
    std::string Finish();

private:
    OutputFile& file_;
    Colouring colouring_;
    std::unique_ptr<std::array<std::uint32_t, PixelCount>> pixels_;
    int nextRow_ = 0;
};

}  // namespace qarn::render
