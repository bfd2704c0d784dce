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

// t in units of 2^DeepOffsetExponent.
long double DeepStep(const DeepArea& area) {
    SetArithmeticMode();
    // 2^-(7+L), or a frame's step, in those units (exact: L <= MaxLoopLevel,
    // or a unit of the step's own binary order, keeps it inside the range).
    const std::int64_t unit = DeepOffsetExponent(area);
    const long double step = area.squareStep
                                 ? ExtendedOf({area.squareStep->significand, area.squareStep->exponent - unit})
                                 : std::ldexp(1.0L, static_cast<int>(-(7 + area.location.level) - unit));
    return area.divisor == 1 ? step : step / static_cast<long double>(area.divisor);
}

}  // namespace

std::int64_t DeepOffsetExponent(const DeepArea& area) {
    const std::int64_t order = area.squareStep ? area.squareStep->exponent : -(7 + area.location.level);
    return -(7 + order) <= deep::MaxLoopLevel ? 0 : order;
}

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

std::vector<double> NearestDoubles(const deep::DyadicNumber& centre, std::span<const long double> offsets,
                                   std::int64_t exponent) {
    mpfr_t c, offset, sum;
    mpfr_init2(c, static_cast<mpfr_prec_t>(64 * centre.magnitude.size() + 64));
    mpfr_init2(offset, 64);
    mpfr_init2(sum, 53);
    deep::SetMpfr(c, centre);
    std::vector<double> nearest(offsets.size());
    for (std::size_t k = 0; k < offsets.size(); ++k) {
        mpfr_set_ld(offset, offsets[k], MPFR_RNDN);  // exact: 64 bits
        mpfr_mul_2si(offset, offset, exponent, MPFR_RNDN);
        mpfr_add(sum, c, offset, MPFR_RNDN);      // the exact sum, rounded once
        nearest[k] = mpfr_get_d(sum, MPFR_RNDN);  // exact: 53 bits
    }
    mpfr_clears(c, offset, sum, static_cast<mpfr_ptr>(nullptr));
    return nearest;
}

deep::ReferenceOrbit DeepReference(const DeepArea& area, std::uint32_t depth, ProgressBar* progress) {
    const std::vector<long double> offRe = DeepColumnOffsets(area);
    const std::vector<long double> offIm = DeepRowOffsets(area);
    if (progress != nullptr) progress->Stage("reference orbit", 0, depth);
    const deep::OrbitProgress orbitProgress = [&](std::uint32_t done) {
        if (progress != nullptr) progress->Stage("reference orbit", done, depth);
        return !runStopRequested.load();
    };
    const long precision = deep::ReferencePrecision(area.location.level, depth);
    const std::int64_t exponent = DeepOffsetExponent(area);
    deep::ReferenceOrbit orbit = exponent != 0 ? deep::ChooseWideReferenceOrbit(area.location.re, area.location.im,
                                                                                {offRe, offIm, exponent}, depth,
                                                                                precision, orbitProgress)
                                               : deep::ChooseReferenceOrbit(area.location.re, area.location.im, offRe,
                                                                            offIm, depth, precision, orbitProgress);
    if (progress != nullptr) progress->EndStage();
    if (runStopRequested.load()) return {};
    return orbit;
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
                                   std::span<BandSink* const> sinks, ProgressBar* progress, BandExtras extras,
                                   const deep::ReferenceOrbit* reference) {
    if (area.width <= 0 || area.width > maxWidth_ || area.height <= 0) return "picture size out of range";
    const bool withExtras = extras.mu || extras.colours != nullptr;
    if (withExtras && states_.empty()) return "the renderer was made without room for mu";
    work_ = {};
    writer_.Clear();
    const std::vector<long double> offRe = DeepColumnOffsets(area);
    const std::vector<long double> offIm = DeepRowOffsets(area);
    // Past MaxLoopLevel the offsets are in units of 2^exponent, and the
    // points go through the loop whose reals carry their own exponent.
    const std::int64_t exponent = DeepOffsetExponent(area);
    const deep::WideGrid wideGrid{offRe, offIm, exponent};
    std::vector<double> cRe, cIm;
    if (withExtras) {
        cRe = NearestDoubles(area.location.re, offRe, exponent);
        cIm = NearestDoubles(area.location.im, offIm, exponent);
    }

    // The reference orbit, then the table, on this thread.
    deep::ReferenceOrbit own;
    if (reference == nullptr) {
        own = DeepReference(area, depth, progress);
        reference = &own;
    }
    const deep::ReferenceOrbit& orbit = *reference;
    if (runStopRequested.load() || orbit.points.empty()) return "interrupted";
    // So do a shallower frame's points where the orbit's own point is given
    // in such units (the reference of a deeper picture).
    const bool wide = exponent != 0 ||
                      (orbit.offsetExponent != 0 && (orbit.offsetRe != 0.0L || orbit.offsetIm != 0.0L));
    referencePrecision_ = orbit.precision;
    referenceLength_ = orbit.length;
    if (progress != nullptr) progress->Stage("approximation tables", 0, 0);
    const deep::BlaTable table(orbit, tolerance,
                               wide ? deep::WideMaxDifference(orbit, wideGrid)
                                    : deep::MaxDifference(orbit, offRe, offIm));
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
        const std::span<const long double> bandIm = std::span(offIm).subspan(static_cast<std::size_t>(top),
                                                                             static_cast<std::size_t>(rows));
        const std::span<EscapeState> bandStates = withExtras ? std::span(states_.data(), points)
                                                             : std::span<EscapeState>{};
        if (wide)
            work_ += deep::WideRender(renderer_.Threads(), orbit, &table, {offRe, bandIm, exponent}, depth,
                                      std::span(counts.data(), points), bandStates, rowDone, stopAsked);
        else
            work_ += renderer_.Render(orbit, &table, offRe, bandIm, depth, std::span(counts.data(), points), bandStates,
                                      rowDone, stopAsked);
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
