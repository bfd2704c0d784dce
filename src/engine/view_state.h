#pragma once
#include <cstdint>

#include "engine/extended_real.h"

namespace qarn {

inline constexpr int ViewSize = 512;
inline constexpr int HalfView = ViewSize / 2;
inline constexpr int PixelCount = ViewSize * ViewSize;
inline constexpr int MaxZoomLevel = 56;
inline constexpr long double EscapeBound = 4.0L;

inline constexpr std::uint32_t InitialPaletteMode = 4096 + 7;
inline constexpr std::uint32_t InitialDepth = 512;

// The view and its display settings. The coordinate file stores exactly these
// fields in this order (see persistence/coordinate_file.h for the 46 bytes).
struct ViewState {
    long double OriginRe = 0.0L;   // real part of c at pixel (0, 0), the top-left
    long double OriginIm = 0.0L;   // imaginary part of c at pixel (0, 0)
    long double PixelStep = 0.0L;  // distance between neighbouring pixels
    std::int32_t ZoomLevel = 0;
    std::uint32_t PaletteMode = InitialPaletteMode;
    std::int32_t ColourShift = 0;
    std::uint32_t Depth = InitialDepth;
};

// The three reals of the level-0 view, copied over the view whole on a reset.
struct ViewPlacement {
    long double OriginRe;
    long double OriginIm;
    long double PixelStep;
};
inline constexpr ViewPlacement HomeView{-2.0L, 2.0L, 0.0078125L};

inline void InstallHomeView(ViewState& view) {
    view.OriginRe = HomeView.OriginRe;
    view.OriginIm = HomeView.OriginIm;
    view.PixelStep = HomeView.PixelStep;
}

}  // namespace qarn
