#include "deep_band_source.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <mpfr.h>

#include "deep/dyadic_text.h"
#include "engine/arithmetic_mode.h"
#include "engine/continuous_count.h"
#include "progress_bar.h"
#include "run_stop.h"

namespace qarn::render {
namespace {

// As BandRenderer's bands: at most 2^22 counts, or with the escape states,
// mu and colours (48 bytes a point) 32 MiB for the two bands; at most 64
// rows, unless one row group is more.
constexpr std::size_t BandCounts = std::size_t{1} << 22;
constexpr std::size_t BandPointsWithExtras = (std::size_t{32} << 20) / 48;
constexpr int MaxBandRows = 64;

long double DeepStep(const DeepArea& area) {
    SetArithmeticMode();
    // 2^-(7+L) is exact (L <= MaxLoopLevel keeps it far inside the range).
    const long double step = std::ldexp(1.0L, static_cast<int>(-(7 + area.location.level)));
    return area.divisor == 1 ? step : step / static_cast<long double>(area.divisor);
}

}  // namespace

std::vector<long double> DeepColumnOffsets(const DeepArea& area) {
    const long double step = DeepStep(area);
    std::vector<long double> offsets(static_cast<std::size_t>(area.width));
    for (int p = 0; p < area.width; ++p)
        offsets[static_cast<std::size_t>(p)] = static_cast<long double>(p - area.width / 2) * step;
    return offsets;
}

std::vector<long double> DeepRowOffsets(const DeepArea& area) {
    const long double step = DeepStep(area);
    std::vector<long double> offsets(static_cast<std::size_t>(area.height));
    for (int q = 0; q < area.height; ++q)
        offsets[static_cast<std::size_t>(q)] = static_cast<long double>(area.height / 2 - q) * step;
    return offsets;
}

std::vector<double> NearestDoubles(const deep::DyadicNumber& centre, std::span<const long double> offsets) {
    mpfr_t c, offset, sum;
    mpfr_init2(c, static_cast<mpfr_prec_t>(64 * centre.magnitude.size() + 64));
    mpfr_init2(offset, 64);
    mpfr_init2(sum, 53);
    deep::SetMpfr(c, centre);
    std::vector<double> nearest(offsets.size());
    for (std::size_t k = 0; k < offsets.size(); ++k) {
        mpfr_set_ld(offset, offsets[k], MPFR_RNDN);  // exact: 64 bits
        mpfr_add(sum, c, offset, MPFR_RNDN);         // the exact sum, rounded once
        nearest[k] = mpfr_get_d(sum, MPFR_RNDN);     // exact: 53 bits
    }
    mpfr_clears(c, offset, sum, static_cast<mpfr_ptr>(nullptr));
    return nearest;
}

DeepBandSource::DeepBandSource(unsigned threads, int maxWidth, int rowMultiple, bool extras)
    : renderer_(threads),
      maxWidth_(maxWidth),
      bandRows_(std::max(rowMultiple,
                         std::min<int>(MaxBandRows, static_cast<int>((extras ? BandPointsWithExtras : BandCounts) /
                                                                     static_cast<std::size_t>(maxWidth))) /
                             rowMultiple * rowMultiple)) {
    const std::size_t points = static_cast<std::size_t>(maxWidth) * static_cast<std::size_t>(bandRows_);
    for (auto& band : counts_) band.resize(points);
    if (extras) {
        states_.resize(points);
        for (auto& band : mu_) band.resize(points);
        for (auto& band : colours_) band.resize(points);
    }
}

std::string DeepBandSource::Render(const DeepArea& area, std::uint32_t depth, deep::Tolerance tolerance,
                                   std::span<BandSink* const> sinks, ProgressBar* progress, BandExtras extras) {
    if (area.width <= 0 || area.width > maxWidth_ || area.height <= 0) return "picture size out of range";
    if (area.location.level > deep::MaxLoopLevel) return "the level is past the deep loop's range";
    const bool withExtras = extras.mu || extras.colours != nullptr;
    if (withExtras && states_.empty()) return "the renderer was made without room for mu";
    work_ = {};
    writer_.Clear();
    const std::vector<long double> offRe = DeepColumnOffsets(area);
    const std::vector<long double> offIm = DeepRowOffsets(area);
    std::vector<double> cRe, cIm;
    if (withExtras) {
        cRe = NearestDoubles(area.location.re, offRe);
        cIm = NearestDoubles(area.location.im, offIm);
    }

    // The reference orbit, then the table, on this thread.
    referencePrecision_ = deep::ReferencePrecision(area.location.level, depth);
    if (progress != nullptr) progress->Stage("reference orbit", 0, depth);
    const deep::OrbitProgress orbitProgress = [&](std::uint32_t done) {
        if (progress != nullptr) progress->Stage("reference orbit", done, depth);
        return !runStopRequested.load();
    };
    const deep::ReferenceOrbit orbit = deep::ChooseReferenceOrbit(area.location.re, area.location.im, offRe, offIm,
                                                                  depth, referencePrecision_, orbitProgress);
    if (runStopRequested.load() || orbit.points.empty()) {
        if (progress != nullptr) progress->EndStage();
        return "interrupted";
    }
    referenceLength_ = orbit.length;
    if (progress != nullptr) progress->Stage("approximation tables", 0, 0);
    const deep::BlaTable table(orbit, tolerance, deep::MaxDifference(orbit, offRe, offIm));
    if (progress != nullptr) progress->EndStage();

    // Asked before each point, so that a stop takes effect within a band.
    const std::function<bool()> stopAsked = [] { return runStopRequested.load(std::memory_order_relaxed); };
    for (int top = 0, band = 0; top < area.height; top += bandRows_, ++band) {
        // A stop asked for ends the picture here; its owner removes its files.
        if (runStopRequested.load()) {
            std::string failure = writer_.Wait();
            return failure.empty() ? "interrupted" : failure;
        }
        const int rows = std::min(bandRows_, area.height - top);
        const std::size_t width = static_cast<std::size_t>(area.width);
        const std::size_t points = static_cast<std::size_t>(rows) * width;
        std::vector<std::uint32_t>& counts = counts_[static_cast<std::size_t>(band % 2)];
        double* mu = withExtras ? mu_[static_cast<std::size_t>(band % 2)].data() : nullptr;
        std::uint32_t* colours = withExtras ? colours_[static_cast<std::size_t>(band % 2)].data() : nullptr;
        Band handed{std::span(counts.data(), points), {}, {}, rows, area.width};
        if (extras.mu) handed.mu = std::span<const double>(mu, points);
        if (extras.colours != nullptr) handed.colours = std::span<const std::uint32_t>(colours, points);
        // On the computing thread that finished the row: its mu from the
        // escape states, then its colours, as the shallow bands do.
        auto rowDone = [&](int row) {
            if (withExtras) {
                const std::size_t first = static_cast<std::size_t>(row) * width;
                const double ci = cIm[static_cast<std::size_t>(top + row)];
                for (std::size_t col = 0; col < width; ++col)
                    mu[first + col] = ContinuousCount(counts[first + col], states_[first + col], cRe[col], ci);
                if (extras.colours != nullptr)
                    extras.colours->Line({counts.data() + first, width}, mu + first, {colours + first, width});
            }
            linesDone_.fetch_add(1, std::memory_order_relaxed);
        };
        linesDone_.store(0, std::memory_order_relaxed);
        if (progress != nullptr) progress->BandStarts(rows);
        work_ += renderer_.Render(orbit, &table, offRe,
                                  std::span(offIm).subspan(static_cast<std::size_t>(top),
                                                           static_cast<std::size_t>(rows)),
                                  depth, std::span(counts.data(), points),
                                  withExtras ? std::span(states_.data(), points) : std::span<EscapeState>{}, rowDone,
                                  stopAsked);
        // A band stopped part way is never handed on.
        if (runStopRequested.load()) {
            std::string failure = writer_.Wait();
            return failure.empty() ? "interrupted" : failure;
        }
        // The band before this one has been taken by now, so its buffer is
        // free for the band after.
        if (std::string failure = writer_.Wait(); !failure.empty()) return failure;
        writer_.Hand(sinks, handed);
    }
    return writer_.Wait();
}

}  // namespace qarn::render
