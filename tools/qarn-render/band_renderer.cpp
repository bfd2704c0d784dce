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

BandRenderer::BandRenderer(unsigned threads, int maxWidth, int rowMultiple, bool extras, std::size_t mirrorBudget)
    : renderer_(threads, RenderPath::Fast, maxWidth),
      maxWidth_(maxWidth),
      bandRows_(std::max(rowMultiple,
                         std::min<int>(MaxBandRows, static_cast<int>((extras ? BandPointsWithExtras : BandCounts) /
                                                                     static_cast<std::size_t>(maxWidth))) /
                             rowMultiple * rowMultiple)),
      re_(static_cast<std::size_t>(maxWidth)),
      reDouble_(static_cast<std::size_t>(maxWidth)),
      im_(static_cast<std::size_t>(bandRows_)),
      mirrorBudget_(mirrorBudget),
      given_(static_cast<std::size_t>(bandRows_)) {
    const std::size_t points = static_cast<std::size_t>(maxWidth) * bandRows_;
    for (auto& band : counts_) band.resize(points);
    if (extras) {
        states_.resize(points);
        for (auto& band : colours_) band.resize(points);
    }
}

void BandRenderer::SetMirror(bool on) {
    mirror_ = on;
    renderer_.SetMirror(on);
}

// What the hook needs of the band computing.
struct BandRenderer::LineWork {
    const PixelGrid* grid;
    const double* reDouble;  // the columns' real parts as doubles
    const long double* im;
    double* mu;
    bool muTaken;  // by the sinks; else mu serves the colours alone
    std::uint32_t* colours;
    const PointColours* colouring;
};

// On the computing thread that finished the row: its mu from the escape
// states, then its colours. Where the sinks take no mu, it serves the
// colours alone, a piece of the row at a time in a buffer that stays in the
// core's cache, and the band's mu is never written.
void BandRenderer::LineFinished(void* context, int line) {
    const LineWork& work = *static_cast<const LineWork*>(context);
    const PixelGrid& grid = *work.grid;
    const std::size_t first = static_cast<std::size_t>(line) * static_cast<std::size_t>(grid.stride);
    const std::uint32_t* counts = grid.out + first;
    const double im = static_cast<double>(work.im[line]);
    const std::size_t width = static_cast<std::size_t>(grid.width);
    if (work.muTaken) {
        double* mu = work.mu + first;
        ContinuousCountLine(counts, grid.escape + first, work.reDouble, im, mu, width);
        if (work.colouring != nullptr) work.colouring->Line({counts, width}, mu, {work.colours + first, width});
        return;
    }
    constexpr std::size_t Piece = 256;
    double mu[Piece];
    for (std::size_t at = 0; at < width; at += Piece) {
        const std::size_t n = std::min(Piece, width - at);
        ContinuousCountLine(counts + at, grid.escape + first + at, work.reDouble + at, im, mu, n);
        work.colouring->Line({counts + at, n}, mu, {work.colours + first + at, n});
    }
}

// A row the engine copied from its mirror image in the same band: the same
// mu, and so the same colours (mu itself only where the sinks take it).
void BandRenderer::LineMirrored(void* context, int line, int source) {
    const LineWork& work = *static_cast<const LineWork*>(context);
    const std::size_t width = static_cast<std::size_t>(work.grid->width);
    const std::size_t stride = static_cast<std::size_t>(work.grid->stride);
    const std::size_t to = static_cast<std::size_t>(line) * stride;
    const std::size_t from = static_cast<std::size_t>(source) * stride;
    if (work.muTaken) std::copy_n(work.mu + from, width, work.mu + to);
    if (work.colouring != nullptr) std::copy_n(work.colours + from, width, work.colours + to);
}

// Which earlier rows to keep for their images in later bands: the sources
// nearest the axis, as many as the budget holds.
void BandRenderer::PlanMirror(const PictureArea& area, BandExtras extras) {
    const std::size_t height = static_cast<std::size_t>(area.height);
    pictureIm_.resize(height);
    source_.resize(height);
    long double im = area.originIm;
    for (std::size_t row = 0; row < height; ++row) {
        pictureIm_[row] = im;
        im -= area.step;
    }
    keptFirst_ = keptRows_ = 0;
    if (!mirror_) {
        std::fill(source_.begin(), source_.end(), -1);
        return;
    }
    FindMirrorSources(pictureIm_.data(), area.height, source_.data());
    // Sources whose images lie in later bands.
    int first = area.height;
    int last = -1;
    for (int row = 0; row < area.height; ++row) {
        const int source = source_[static_cast<std::size_t>(row)];
        if (source < 0 || source / bandRows_ == row / bandRows_) continue;
        first = std::min(first, source);
        last = std::max(last, source);
    }
    if (last < 0) return;
    // A kept row holds what a later band's sinks take: counts, and mu and
    // colours where they take them.
    const bool mu = extras.mu, colours = extras.colours != nullptr;
    const std::size_t perRow = static_cast<std::size_t>(area.width) * (4 + (mu ? 8 : 0) + (colours ? 4 : 0));
    const int fits = static_cast<int>(
        std::min<std::size_t>(mirrorBudget_ / perRow, static_cast<std::size_t>(area.height)));
    keptRows_ = std::min(last - first + 1, fits);
    keptFirst_ = last + 1 - keptRows_;
    const std::size_t points = static_cast<std::size_t>(keptRows_) * static_cast<std::size_t>(area.width);
    if (keptCounts_.size() < points) keptCounts_.resize(points);
    if (mu && keptMu_.size() < points) keptMu_.resize(points);
    if (colours && keptColours_.size() < points) keptColours_.resize(points);
}

// After a band: its rows that later rows mirror, into the kept rows.
void BandRenderer::KeepMirrored(int top, int rows, int width, const std::uint32_t* counts, const double* mu,
                                const std::uint32_t* colours) {
    const int from = std::max(top, keptFirst_);
    const int to = std::min(top + rows, keptFirst_ + keptRows_);
    const std::size_t w = static_cast<std::size_t>(width);
    for (int row = from; row < to; ++row) {
        const std::size_t band = static_cast<std::size_t>(row - top) * w;
        const std::size_t kept = static_cast<std::size_t>(row - keptFirst_) * w;
        std::copy_n(counts + band, w, keptCounts_.data() + kept);
        if (mu != nullptr) std::copy_n(mu + band, w, keptMu_.data() + kept);
        if (colours != nullptr) std::copy_n(colours + band, w, keptColours_.data() + kept);
    }
}

// Before a band: its rows whose sources were kept, from them; the engine
// leaves them alone.
void BandRenderer::GiveMirrored(int top, int rows, int width, std::uint32_t* counts, double* mu,
                                std::uint32_t* colours) {
    const std::size_t w = static_cast<std::size_t>(width);
    for (int row = top; row < top + rows; ++row) {
        const int source = source_[static_cast<std::size_t>(row)];
        const bool kept = source >= keptFirst_ && source < keptFirst_ + keptRows_ && source < top;
        given_[static_cast<std::size_t>(row - top)] = kept ? 1 : 0;
        if (!kept) continue;
        const std::size_t band = static_cast<std::size_t>(row - top) * w;
        const std::size_t from = static_cast<std::size_t>(source - keptFirst_) * w;
        std::copy_n(keptCounts_.data() + from, w, counts + band);
        if (mu != nullptr) std::copy_n(keptMu_.data() + from, w, mu + band);
        if (colours != nullptr) std::copy_n(keptColours_.data() + from, w, colours + band);
    }
}

std::string BandRenderer::Render(const PictureArea& area, std::uint32_t depth, std::span<BandSink* const> sinks,
                                 ProgressBar* progress, BandExtras extras) {
    if (area.width <= 0 || area.width > maxWidth_ || area.height <= 0) return "picture size out of range";
    const bool withExtras = extras.mu || extras.colours != nullptr;
    if (withExtras && states_.empty()) return "the renderer was made without room for mu";
    // The bands' mu, made on the first picture whose sinks take it.
    if (extras.mu)
        for (auto& band : mu_) band.resize(states_.size());
    SetArithmeticMode();
    // Columns: from the origin, one addition of the step each.
    long double re = area.originRe;
    for (int col = 0; col < area.width; ++col) {
        re_[static_cast<std::size_t>(col)] = re;
        reDouble_[static_cast<std::size_t>(col)] = static_cast<double>(re);
        re += area.step;
    }
    // Rows: from the origin downward, one subtraction each, carried on from
    // band to band.
    PlanMirror(area, extras);
    tests_ = 0;
    writer_.Clear();
    for (int top = 0, band = 0; top < area.height; top += bandRows_, ++band) {
        // A stop asked for ends the picture here; its owner removes its files.
        if (runStopRequested.load()) {
            std::string failure = writer_.Wait();
            return failure.empty() ? "interrupted" : failure;
        }
        const int rows = std::min(bandRows_, area.height - top);
        std::copy_n(pictureIm_.begin() + top, rows, im_.begin());
        BandBuffer<std::uint32_t>& counts = counts_[static_cast<std::size_t>(band % 2)];
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
        LineWork work{&grid, reDouble_.data(), im_.data(), nullptr, extras.mu, nullptr, extras.colours};
        if (withExtras) {
            work.mu = mu_[static_cast<std::size_t>(band % 2)].data();
            work.colours = colours_[static_cast<std::size_t>(band % 2)].data();
            grid.escape = states_.data();
            grid.lineFinished = LineFinished;
            grid.lineMirrored = LineMirrored;
            grid.lineContext = &work;
            if (extras.mu) handed.mu = std::span<const double>(work.mu, points);
            if (extras.colours != nullptr) handed.colours = std::span<const std::uint32_t>(work.colours, points);
        }
        // The rows kept for a later band carry what its sinks take: mu
        // only where they take it (colours are made from it before that).
        double* const keptMu = extras.mu ? work.mu : nullptr;
        std::uint32_t* const keptColours = extras.colours != nullptr ? work.colours : nullptr;
        GiveMirrored(top, rows, area.width, counts.data(), keptMu, keptColours);
        grid.given = given_.data();
        if (progress != nullptr) progress->BandStarts(rows);
        if (!renderer_.Compute(grid, depth)) {
            // The band before may still be with its sinks, which use it.
            (void)writer_.Wait();
            return "the renderer cannot compute a band of " + std::to_string(rows) + " x " +
                   std::to_string(area.width) + " points";
        }
        tests_ += renderer_.Tests();
        KeepMirrored(top, rows, area.width, counts.data(), keptMu, keptColours);

        // The band before this one has been taken by now, so its buffer is
        // free for the band after.
        if (std::string failure = writer_.Wait(); !failure.empty()) return failure;
        writer_.Hand(sinks, handed);
    }
    return writer_.Wait();
}

}  // namespace qarn::render
