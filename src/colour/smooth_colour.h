#pragma once
#include <cstdint>
#include <memory>
#include <span>

#include "colour/display_mapping.h"
#include "colour/gradient.h"
#include "colour/palette_mix.h"
#include "colour/palette_tables.h"
#include "engine/view_state.h"

namespace qarn {

// The mix in linear light of colours a (weight 0) and b (weight 2^24) by
// weight / 2^24, each component the 8-bit sRGB value nearest the mix, as
// the supersampling rounds its means. Weight 0 gives a itself.
inline constexpr std::uint32_t MixOne = 1u << 24;
[[nodiscard]] std::uint32_t MixColours(std::uint32_t a, std::uint32_t b, std::uint32_t weight);

// The weight of a fraction from 0 to 1: the nearest whole number of 2^-24.
[[nodiscard]] std::uint32_t WeightOf(double fraction);

// How the points of a picture are coloured beyond the viewer's mapping of
// whole counts.
struct ColouringChoice {
    bool smooth = false;                 // by mu rather than by the count
    const Gradient* gradient = nullptr;  // none: the view's palette
    double period = 0.0;                 // of the gradient, in counts (> 0)
    double frameShift = 0.0;             // counts added to mu (or the count): a zoom frame's k x D
};

// Whether the viewer's own mapping of counts gives a choice's colours (a
// gradient without stops is no gradient).
[[nodiscard]] inline bool IsViewersMapping(const ColouringChoice& choice) {
    return !choice.smooth && (choice.gradient == nullptr || choice.gradient->stops.empty()) && choice.frameShift == 0.0;
}

// Colours the points of a view. A point with count 0, or at or above the
// depth, is black. Otherwise, with u = mu (or the count),
// - with the view's palette and v = u + frameShift, the colour is that of
//   floor(v) and of floor(v) + 1 mixed by v - floor(v), where the colour of
//   a whole number m
//   (any, negative ones too) is the table entry at the viewer's index for m
//   (palette size, shift, the index taken modulo the table in two's
//   complement); at fraction 0 exactly the viewer's colour;
// - with a gradient, t = frac((u + (shift + frameShift)) / period) with the
//   view's shift, the mix of the two stops around t, cyclically.
class PointColours {
public:
    PointColours(const ViewState& view, ColouringChoice choice);

    // One line of points: their counts and, when smooth, their mu. With the
    // palette, smooth lines go 8 points at a time in the lanes given, which
    // the processor must have (the tests compare every form with the plain
    // loop).
    void Line(std::span<const std::uint32_t> counts, const double* mu, std::span<std::uint32_t> colours,
              MixLanes lanes = BestMixLanes()) const;

    // The colour of a whole number by the view's palette.
    std::uint32_t PaletteColour(std::int64_t m) const;
    // The colour at a place t in [0, 1) of the gradient.
    std::uint32_t GradientColour(double t) const;

    // Whether the viewer's own mapping of counts gives these colours.
    bool IsViewersMapping() const { return qarn::IsViewersMapping(choice_); }

private:
    // The colour of mu (or the count), the frame's shift not yet added.
    std::uint32_t ColourOf(double value) const;

    ViewState view_;
    ColouringChoice choice_;
    PaletteTables tables_;
    PaletteRule rule_;  // of tables_: a count's entry, and which counts are shown
    // rule_'s entries in linear light, where the palette's mix goes in lanes.
    std::shared_ptr<const LinearPalette> linear_;
};

}  // namespace qarn
