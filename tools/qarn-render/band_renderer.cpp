#include "band_renderer.h"

#include <algorithm>
#include <thread>

#include "engine/arithmetic_mode.h"
#include "progress_bar.h"

namespace qarn::render {

BandRenderer::BandRenderer(unsigned threads, int maxSize)
    : renderer_(threads, RenderPath::Fast, maxSize),
      maxSize_(maxSize),
      re_(static_cast<std::size_t>(maxSize)) {
    for (auto& band : counts_) band.resize(static_cast<std::size_t>(maxSize) * BandRows);
}

std::string BandRenderer::Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                                 ProgressBar* progress) {
    if (area.size <= 0 || area.size > maxSize_) return "picture size out of range";
    SetArithmeticMode();
    // Columns: from the origin, one addition of the step each.
    long double re = area.originRe;
    for (int col = 0; col < area.size; ++col) {
        re_[static_cast<std::size_t>(col)] = re;
        re += area.step;
    }
    // Rows: from the origin downward, one subtraction each, carried on from
    // band to band.
    long double im = area.originIm;

    std::thread writer;
    std::string failure;  // written by the writer, read after joining it
    auto finishWriting = [&] {
        if (writer.joinable()) writer.join();
        return failure.empty();
    };
    for (int top = 0, band = 0; top < area.size; top += BandRows, ++band) {
        const int rows = std::min(BandRows, area.size - top);
        for (int row = 0; row < rows; ++row) {
            im_[static_cast<std::size_t>(row)] = im;
            im -= area.step;
        }
        std::vector<std::uint32_t>& counts = counts_[static_cast<std::size_t>(band % 2)];
        PixelGrid grid;
        grid.re = re_.data();
        grid.im = im_.data();
        grid.width = area.size;
        grid.height = rows;
        grid.out = counts.data();
        grid.stride = area.size;
        grid.byRows = true;
        if (progress != nullptr) progress->BandStarts(rows);
        renderer_.Compute(grid, depth);

        // The band before this one has been taken by now, so its buffer is
        // free for the band after.
        if (!finishWriting()) return failure;
        const std::span<const std::uint32_t> done(counts.data(), static_cast<std::size_t>(rows) * area.size);
        writer = std::thread([&failure, sinks, done, rows, width = area.size] {
            for (BandSink* sink : sinks) {
                failure = sink->Take(done, rows, width);
                if (!failure.empty()) return;
            }
        });
    }
    finishWriting();
    return failure;
}

}  // namespace qarn::render
