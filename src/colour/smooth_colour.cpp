#include "colour/smooth_colour.h"

#include <algorithm>
#include <cmath>

#include "colour/display_mapping.h"
#include "colour/linear_light.h"
#include "colour/palette_mix.h"
#include "engine/processor_features.h"

namespace qarn {

std::uint32_t MixColours(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
    if (weight == 0) return a;
    return MixInLinearLight(a, b, weight);
}

std::uint32_t WeightOf(double fraction) {
    // fraction x 2^24 is exact, and so is adding a half below 2^52.
    const double scaled = fraction * MixOne + 0.5;
    if (!(scaled > 0.0)) return 0;
    return scaled >= MixOne ? MixOne : static_cast<std::uint32_t>(scaled);
}

PointColours::PointColours(const ViewState& view, ColouringChoice choice) : view_(view), choice_(choice) {
    BuildColourTable(tables_.colour);
    BuildMonoTable(tables_.mono, view.PaletteMode);
    rule_ = PaletteRuleOf(view, tables_);
    if (choice_.gradient != nullptr && choice_.gradient->stops.empty()) choice_.gradient = nullptr;
#if QARN_WIDE_LANES
    if (choice_.smooth && choice_.gradient == nullptr && BestMixLanes() != MixLanes::Plain) {
        auto linear = std::make_shared<LinearPalette>();
        BuildLinearPalette(rule_, *linear);
        linear_ = std::move(linear);
    }
#endif
}

void BuildLinearPalette(const PaletteRule& rule, LinearPalette& palette) {
    palette = {};
    for (std::uint32_t i = 0; i <= rule.wrap && i < palette.blue.size(); ++i) {
        const std::uint32_t entry = rule.table[i];
        palette.redGreen[i] = std::uint64_t{LinearOf(static_cast<std::uint8_t>(entry >> 16))} |
                              std::uint64_t{LinearOf(static_cast<std::uint8_t>(entry >> 8))} << 32;
        palette.blue[i] = LinearOf(static_cast<std::uint8_t>(entry));
    }
}

std::uint32_t PointColours::PaletteColour(std::int64_t m) const {
    const auto whole = static_cast<std::uint32_t>(m);  // modulo 2^32, as two's complement gives it
    return rule_.Entry(whole);
}

std::uint32_t PointColours::GradientColour(double t) const {
    const std::vector<GradientStop>& stops = choice_.gradient->stops;
    // The last stop at or before t, if any.
    const auto after = std::upper_bound(stops.begin(), stops.end(), t,
                                        [](double place, const GradientStop& stop) { return place < stop.position; });
    GradientStop low, high;
    if (after == stops.begin()) {
        low = {stops.back().position - 1.0, stops.back().colour};
        high = stops.front();
    } else {
        low = *(after - 1);
        high = after == stops.end() ? GradientStop{stops.front().position + 1.0, stops.front().colour} : *after;
    }
    const double width = high.position - low.position;
    const double fraction = width > 0.0 ? (t - low.position) / width : 0.0;
    return MixColours(low.colour, high.colour, WeightOf(fraction));
}

// The frame's shift is added here alone: to the value with the palette, to
// the view's shift (counts) before the value with a gradient.
std::uint32_t PointColours::ColourOf(double value) const {
    if (choice_.gradient != nullptr) {
        const double shift = static_cast<double>(view_.ColourShift) + choice_.frameShift;
        const double q = (value + shift) / choice_.period;
        double t = q - std::floor(q);
        if (!(t < 1.0)) t = 0.0;  // a q just below a whole number rounds to 1: the same place as 0
        return GradientColour(t);
    }
    const double v = value + choice_.frameShift;
    const double whole = std::floor(v);
    const auto m = static_cast<std::int64_t>(whole);
    return MixColours(PaletteColour(m), PaletteColour(m + 1), WeightOf(v - whole));
}

bool HasMixLanes(MixLanes lanes) {
    switch (lanes) {
    case MixLanes::Plain: return true;
#if QARN_WIDE_LANES
    case MixLanes::Avx2: return HasAvx2();
    case MixLanes::Avx512: return HasAvx512f();
#endif
    default: return false;
    }
}

MixLanes BestMixLanes() {
    return HasMixLanes(MixLanes::Avx512) ? MixLanes::Avx512
           : HasMixLanes(MixLanes::Avx2) ? MixLanes::Avx2
                                         : MixLanes::Plain;
}

void PointColours::Line(std::span<const std::uint32_t> counts, const double* mu, std::span<std::uint32_t> colours,
                        MixLanes lanes) const {
    const std::size_t length = std::min(counts.size(), colours.size());
    if (IsViewersMapping()) {
        MapCountLine(counts.first(length), view_, tables_, colours);
        return;
    }
    const bool smooth = choice_.smooth && mu != nullptr;
    auto plain = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const std::uint32_t count = counts[i];
            if (!rule_.Shown(count)) {
                colours[i] = 0;  // inside, or at or beyond the depth: black
                continue;
            }
            colours[i] = ColourOf(smooth ? mu[i] : static_cast<double>(count));
        }
    };
#if QARN_WIDE_LANES
    if (smooth && linear_ != nullptr && lanes != MixLanes::Plain) {
        const auto mix = lanes == MixLanes::Avx512 ? MixPaletteLanesAvx512 : MixPaletteLanesAvx2;
        // The lanes stop at the end or at a block they leave (a value
        // beyond their range): that block here, then the lanes again.
        for (std::size_t i = 0; i < length;) {
            i += mix(rule_, *linear_, counts.data() + i, mu + i, choice_.frameShift, colours.data() + i, length - i);
            const std::size_t end = std::min(length, i + 8);
            plain(i, end);
            i = end;
        }
        return;
    }
#endif
    (void)lanes;
    plain(0, length);
}

}  // namespace qarn
