#include "band_renderer.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "engine/arithmetic_mode.h"
#include "progress_bar.h"

namespace qarn::render {
namespace {

// A band holds at most this many counts (16 MiB) unless one row group is
// wider, and at most 64 rows: enough lines for every thread at once.
constexpr std::size_t BandCounts = std::size_t{1} << 22;
constexpr int MaxBandRows = 64;

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

BandWriter::BandWriter() : thread_([this] { Run(); }) {}

BandWriter::~BandWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BandWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_) return;
        const double start = ThreadSeconds();
        std::string failure;
        if (failure_.empty()) {
            lock.unlock();
            for (BandSink* sink : sinks_) {
                failure = sink->Take(counts_, rows_, width_);
                if (!failure.empty()) break;
            }
            lock.lock();
        }
        if (failure_.empty()) failure_ = std::move(failure);
        seconds_ += ThreadSeconds() - start;
        pending_ = false;
        changed_.notify_all();
    }
}

void BandWriter::Hand(std::span<BandSink* const> sinks, std::span<const std::uint32_t> counts, int rows, int width) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    sinks_ = sinks;
    counts_ = counts;
    rows_ = rows;
    width_ = width;
    pending_ = true;
    changed_.notify_all();
}

std::string BandWriter::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    return failure_;
}

void BandWriter::Clear() {
    std::lock_guard lock(mutex_);
    failure_.clear();
}

double BandWriter::Seconds() {
    std::lock_guard lock(mutex_);
    return seconds_;
}

BandRenderer::BandRenderer(unsigned threads, int maxWidth, int rowMultiple)
    : renderer_(threads, RenderPath::Fast, maxWidth),
      maxWidth_(maxWidth),
      bandRows_(std::max(rowMultiple, std::min<int>(MaxBandRows, static_cast<int>(BandCounts / maxWidth)) /
                                          rowMultiple * rowMultiple)),
      re_(static_cast<std::size_t>(maxWidth)),
      im_(static_cast<std::size_t>(bandRows_)) {
    for (auto& band : counts_) band.resize(static_cast<std::size_t>(maxWidth) * bandRows_);
}

std::string BandRenderer::Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                                 ProgressBar* progress) {
    if (area.width <= 0 || area.width > maxWidth_ || area.height <= 0) return "picture size out of range";
    SetArithmeticMode();
    // Columns: from the origin, one addition of the step each.
    long double re = area.originRe;
    for (int col = 0; col < area.width; ++col) {
        re_[static_cast<std::size_t>(col)] = re;
        re += area.step;
    }
    // Rows: from the origin downward, one subtraction each, carried on from
    // band to band.
    long double im = area.originIm;
    tests_ = 0;
    writer_.Clear();
    for (int top = 0, band = 0; top < area.height; top += bandRows_, ++band) {
        const int rows = std::min(bandRows_, area.height - top);
        for (int row = 0; row < rows; ++row) {
            im_[static_cast<std::size_t>(row)] = im;
            im -= area.step;
        }
        std::vector<std::uint32_t>& counts = counts_[static_cast<std::size_t>(band % 2)];
        PixelGrid grid;
        grid.re = re_.data();
        grid.im = im_.data();
        grid.width = area.width;
        grid.height = rows;
        grid.out = counts.data();
        grid.stride = area.width;
        grid.byRows = true;
        if (progress != nullptr) progress->BandStarts(rows);
        if (!renderer_.Compute(grid, depth)) {
            // The band before may still be with its sinks, which use it.
            (void)writer_.Wait();
            return "the renderer cannot compute a band of " + std::to_string(rows) + " x " +
                   std::to_string(area.width) + " points";
        }
        tests_ += renderer_.Tests();

        // The band before this one has been taken by now, so its buffer is
        // free for the band after.
        if (std::string failure = writer_.Wait(); !failure.empty()) return failure;
        writer_.Hand(sinks, std::span(counts.data(), static_cast<std::size_t>(rows) * area.width), rows, area.width);
    }
    return writer_.Wait();
}

}  // namespace qarn::render
