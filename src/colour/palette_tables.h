#pragma once
#include <array>
#include <cstdint>

namespace qarn {

// Colours are 0x00RRGGBB, the layout of one pixel of the display bitmap.
using ColourTable = std::array<std::uint32_t, 4096>;
using MonoTable = std::array<std::uint32_t, 512>;

struct PaletteTables {
    ColourTable colour{};
    MonoTable mono{};
};

// PaletteMode: bits 0-2 the blue, green and red components of the
// monochrome ramp; the value with its low byte cleared is the palette size.
inline constexpr std::uint32_t BlueComponent = 1;
inline constexpr std::uint32_t GreenComponent = 2;
inline constexpr std::uint32_t RedComponent = 4;
inline constexpr std::uint32_t ComponentBits = 7;
inline constexpr std::uint32_t MonoPaletteSize = 256;

inline constexpr std::uint32_t PaletteSize(std::uint32_t paletteMode) { return paletteMode & ~0xFFu; }

constexpr std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red << 16 | green << 8 | blue;
}

// Entry 0 black, then the 4095 entries of the ramp segments in order.
void BuildColourTable(ColourTable& table);
// The 512-entry triangle ramp in the components that paletteMode selects.
void BuildMonoTable(MonoTable& table, std::uint32_t paletteMode);

}  // namespace qarn
