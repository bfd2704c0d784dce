#include "band_renderer.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "engine/arithmetic_mode.h"
#include "engine/continuous_count.h"
#include "progress_bar.h"
#include "run_stop.h"

namespace qarn::render {
namespace {

// A band holds at most this many counts (16 MiB) unless one row group is
// wider, and at most 64 rows: enough lines for every thread at once.
constexpr std::size_t BandCounts = std::size_t{1} << 22;
// With the escape states, mu and colours (48 bytes a point in all), a band
// holds at most this many points: 32 MiB for the two bands.
constexpr std::size_t BandPointsWithExtras = (std::size_t{32} << 20) / 48;
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
                failure = sink->Take(band_);
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

void BandWriter::Hand(std::span<BandSink* const> sinks, const Band& band) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    sinks_ = sinks;
    band_ = band;
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

BandRenderer::BandRenderer(unsigned threads, int maxWidth, int rowMultiple, bool extras)
    : renderer_(threads, RenderPath::Fast, maxWidth),
      maxWidth_(maxWidth),
      bandRows_(std::max(rowMultiple,
                         std::min<int>(MaxBandRows, static_cast<int>((extras ? BandPointsWithExtras : BandCounts) /
                                                                     static_cast<std::size_t>(maxWidth))) /
                             rowMultiple * rowMultiple)),
      re_(static_cast<std::size_t>(maxWidth)),
      im_(static_cast<std::size_t>(bandRows_)) {
    const std::size_t points = static_cast<std::size_t>(maxWidth) * bandRows_;
    for (auto& band : counts_) band.resize(points);
    if (extras) {
        states_.resize(points);
        for (auto& band : mu_) band.resize(points);
        for (auto& band : colours_) band.resize(points);
    }
}

// What the hook needs of the band computing.
struct BandRenderer::LineWork {
    const PixelGrid* grid;
    const long double* re;
    const long double* im;
    double* mu;
    std::uint32_t* colours;
    const PointColours* colouring;
};

// On the computing thread that finished the row: its mu from the escape
// states, then its colours.
void BandRenderer::LineFinished(void* context, int line) {
    const LineWork& work = *static_cast<const LineWork*>(context);
    const PixelGrid& grid = *work.grid;
    const std::size_t first = static_cast<std::size_t>(line) * static_cast<std::size_t>(grid.stride);
    const std::uint32_t* counts = grid.out + first;
    double* mu = work.mu + first;
    const double ci = static_cast<double>(work.im[line]);
    for (int col = 0; col < grid.width; ++col)
        mu[col] = ContinuousCount(counts[col], grid.escape[first + static_cast<std::size_t>(col)],
                                  static_cast<double>(work.re[col]), ci);
    if (work.colouring != nullptr)
        work.colouring->Line({counts, static_cast<std::size_t>(grid.width)}, mu,
                             {work.colours + first, static_cast<std::size_t>(grid.width)});
}

std::string BandRenderer::Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                                 ProgressBar* progress, BandExtras extras) {
    if (area.width <= 0 || area.width > maxWidth_ || area.height <= 0) return "picture size out of range";
    const bool withExtras = extras.mu || extras.colours != nullptr;
    if (withExtras && states_.empty()) return "the renderer was made without room for mu";
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
        // A stop asked for ends the picture here; its owner removes its files.
        if (runStopRequested.load()) {
            std::string failure = writer_.Wait();
            return failure.empty() ? "interrupted" : failure;
        }
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
        const std::size_t points = static_cast<std::size_t>(rows) * static_cast<std::size_t>(area.width);
        Band handed{std::span(counts.data(), points), {}, {}, rows, area.width};
        LineWork work{&grid, re_.data(), im_.data(), nullptr, nullptr, extras.colours};
        if (withExtras) {
            work.mu = mu_[static_cast<std::size_t>(band % 2)].data();
            work.colours = colours_[static_cast<std::size_t>(band % 2)].data();
            grid.escape = states_.data();
            grid.lineFinished = LineFinished;
            grid.lineContext = &work;
            if (extras.mu) handed.mu = std::span<const double>(work.mu, points);
            if (extras.colours != nullptr) handed.colours = std::span<const std::uint32_t>(work.colours, points);
        }
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
        writer_.Hand(sinks, handed);
    }
    return writer_.Wait();
}

}  // namespace qarn::render
