#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/view_state.h"

namespace qarn {

// The coordinate file is the view record byte for byte, little-endian:
// OriginRe, OriginIm, PixelStep (10 bytes each), ZoomLevel, PaletteMode,
// ColourShift, Depth (4 bytes each). An older 42-byte form has a palette
// number in place of PaletteMode and no Depth.
inline constexpr std::size_t CoordinateFileSize = 46;
inline constexpr std::size_t LegacyCoordinateFileSize = 42;

using CoordinateRecord = std::array<std::uint8_t, CoordinateFileSize>;

CoordinateRecord EncodeViewState(const ViewState& view);

enum class CoordinateFileProblem {
    None,
    WrongSize,              // neither 42 nor 46 bytes
    ZoomLevelOutOfRange,    // outside 0 to 56
    PaletteSizeInvalid,     // not 256, 512, 1024, 2048 or 4096
    ColourShiftOutOfRange,  // outside 0 to 4096
    DepthInvalid,           // not 512, 1024, 2048 or 4096
    LegacyPaletteNumber,    // 42-byte form with a palette number of 5 or more
};

// Reads a whole file's bytes into `view`. On any problem `view` is left
// exactly as it was. Bits above bit 15 of PaletteMode are cleared; the reals
// are taken as read, whatever they hold.
CoordinateFileProblem DecodeCoordinateFile(std::span<const std::uint8_t> bytes, ViewState& view);

// Whether the settings are values the viewer itself produces (the level,
// palette size, shift and depth); the reals are not checked.
CoordinateFileProblem CheckViewSettings(const ViewState& view);

// A short English description of the problem, such as "depth not 512, 1024,
// 2048 or 4096", for messages of the command-line renderer.
const char* DescribeProblem(CoordinateFileProblem problem);

}  // namespace qarn
