#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "band_renderer.h"
#include "frame_step.h"
#include "deep/bla_table.h"
#include "deep/perturbation.h"
#include "deep/wide_perturbation.h"
#include "engine/escape_state.h"
#include "view_input.h"

namespace qarn::render {

class ProgressBar;

// The points of a deep picture: width x height points (the pixels times
// the supersampling, both even) at the step t = 2^-(7+L) / divisor (divisor
// = scale x supersample); point (p, q) is
//   c = C + ((p - width/2) t, (height/2 - q) t),
// so that pixel (i, j) of a W x H picture at scale K stands for
// C + ((i - W/2) s, (H/2 - j) s), s = 2^-(7+L)/K, and its S x S points
// follow at steps of s/S to its right and below, as the shallow pictures
// place theirs. A zoom frame's square has a step of its own in place of
// 2^-(7+L) (any positive normal 80-bit value); t is then that step divided
// by the divisor.
struct DeepArea {
    DeepLocation location;
    int width = 0;
    int height = 0;
    int divisor = 1;
    std::optional<BinaryStep> squareStep;  // none: the level's step 2^-(7+L)
};

// The offsets of a deep picture's columns (p - width/2) t and rows
// (height/2 - q) t, in units of 2^DeepOffsetExponent(area), each rounded to
// the 80-bit format as follows: t is 2^-(7+L) (exact) divided by the divisor
// in one rounding to nearest (exact where the divisor is a power of two),
// and each offset is the whole number (exact) times t in one rounding to
// nearest. An offset thus lies within half an 80-bit unit of its exact value
// times (1 + 2^-64). The unit is 1 up to MaxLoopLevel, and 2^-(7+L) past it,
// where the offsets leave the 80-bit range.
std::int64_t DeepOffsetExponent(const DeepArea& area);
std::vector<long double> DeepColumnOffsets(const DeepArea& area);
std::vector<long double> DeepRowOffsets(const DeepArea& area);

// The doubles nearest C + offset 2^exponent, correctly rounded from the
// exact sum (MPFR): the c that the continuous count takes beside each
// point's escape state, as the shallow path takes the doubles nearest its
// coordinates.
std::vector<double> NearestDoubles(const deep::DyadicNumber& centre, std::span<const long double> offsets,
                                   std::int64_t exponent = 0);

// The reference orbit that a picture of `area` chooses (ChooseReferenceOrbit
// at ReferencePrecision of its level and depth), shown on the progress bar;
// an empty orbit where a stop was asked for.
deep::ReferenceOrbit DeepReference(const DeepArea& area, std::uint32_t depth, ProgressBar* progress);

// Computes deep pictures of up to maxWidth points a row in bands of whole
// rows through the deep library's loop on a pool of threads made once, and
// hands each band to the same sinks as the shallow pictures while the next
// one computes. Per picture: its reference orbit (ChooseReferenceOrbit at
// ReferencePrecision), one table of the bilinear approximation, the column
// and row offsets and their doubles (one value a column and a row); or,
// where a reference is given (one orbit for every frame of a zoom), that
// orbit, with the table built for the picture's own largest offset. Its
// band memory is two bands, sized as BandRenderer's, made once.
class DeepBandSource {
public:
    DeepBandSource(unsigned threads, int maxWidth, int rowMultiple, bool extras = false);

    [[nodiscard]] std::string Render(const DeepArea& area, std::uint32_t depth, deep::Tolerance tolerance,
                                     std::span<BandSink* const> sinks, ProgressBar* progress, BandExtras extras = {},
                                     const deep::ReferenceOrbit* reference = nullptr);

    int BandRows() const { return bandRows_; }
    // Rows of the running band that are final.
    int LinesDone() const { return linesDone_.load(std::memory_order_relaxed); }
    // The last picture's work, its reference's length and precision.
    const deep::DeepWork& Work() const { return work_; }
    std::uint32_t ReferenceLength() const { return referenceLength_; }
    long ReferencePrecisionUsed() const { return referencePrecision_; }
    double WriterSeconds() { return writer_.Seconds(); }

private:
    deep::DeepRenderer renderer_;
    int maxWidth_;
    int bandRows_;
    std::array<std::vector<std::uint32_t>, 2> counts_;
    std::vector<EscapeState> states_;
    std::array<std::vector<double>, 2> mu_;
    std::array<std::vector<std::uint32_t>, 2> colours_;
    std::atomic<int> linesDone_{0};
    deep::DeepWork work_;
    std::uint32_t referenceLength_ = 0;
    long referencePrecision_ = 0;
    BandWriter writer_;  // last: its thread stops before the buffers go
};

}  // namespace qarn::render
