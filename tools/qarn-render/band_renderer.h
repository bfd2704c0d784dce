#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/renderer.h"

namespace qarn::render {

class ProgressBar;

// A square picture of `size` pixels per side: pixel (col, row) stands for
// c = (originRe + col x step, originIm - row x step), the coordinates reached
// as the passes reach them, by one addition or subtraction of the step per
// pixel from the origin.
struct PictureArea {
    long double originRe = 0.0L;
    long double originIm = 0.0L;
    long double step = 0.0L;
    int size = 0;
};

// Takes a picture's counts band by band, from the top, in order.
class BandSink {
public:
    virtual ~BandSink() = default;
    // rows x width counts, row-major. Returns an empty string, or the reason
    // the band could not be taken (which ends the picture).
    virtual std::string Take(std::span<const std::uint32_t> counts, int rows, int width) = 0;
};

// Computes pictures of up to maxSize pixels per side in bands of rows,
// through the renderer's kernels on all its threads. Its memory is that of
// two bands and one row of coordinates, made once; never a whole picture.
class BandRenderer {
public:
    static constexpr int BandRows = 64;

    BandRenderer(unsigned threads, int maxSize);

    // Hands each band to every sink on a second thread while the next band
    // computes. Returns an empty string, or the first sink's failure, after
    // which nothing more is computed.
    std::string Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                       ProgressBar* progress);

    const Renderer& Engine() const { return renderer_; }

private:
    Renderer renderer_;
    int maxSize_;
    std::vector<long double> re_;
    std::array<long double, BandRows> im_{};
    std::array<std::vector<std::uint32_t>, 2> counts_;
};

}  // namespace qarn::render
