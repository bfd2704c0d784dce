#include "colour/palette_tables.h"

#include <cassert>
#include <cstddef>

namespace qarn {
namespace {

enum class SegmentKind : std::uint8_t { Run, Saw4, Saw8 };

// A run writes `countOrBack` entries start, start+step, ...; a sawtooth
// writes cycles of 4 or 8 entries, each cycle starting `countOrBack` behind
// where a plain ramp would go on, until the next cycle would start at stop.
// All arithmetic is on the packed value modulo 2^32; no component carries.
struct PaletteSegment {
    SegmentKind kind;
    std::uint32_t start;
    std::uint32_t step;
    std::uint32_t countOrBack;
    std::uint32_t stop;
};

// A signed amount per component, packed as the generators add it.
constexpr std::uint32_t Delta(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red * 65536 + green * 256 + blue);
}

using enum SegmentKind;
constexpr PaletteSegment PaletteSegmentTable[] = {
    {Run, Rgb(10, 0, 0), Delta(3, 0, 0), 36, 0},
    {Saw4, Rgb(115, 0, 0), Delta(2, 0, 0), Delta(2, 0, 0), Rgb(253, 0, 0)},
    {Saw4, Rgb(255, 0, 0), Delta(0, 2, 0), Delta(0, 4, 0), Rgb(255, 252, 0)},
    {Run, Rgb(255, 255, 0), Delta(0, 0, 0), 3, 0},
    {Saw4, Rgb(255, 255, 0), Delta(-2, -2, 0), Delta(-4, -4, 0), Rgb(127, 127, 0)},
    {Saw4, Rgb(127, 127, 0), Delta(-2, 2, 0), Delta(-4, 4, 0), Rgb(7, 247, 0)},
    {Saw8, Rgb(0, 255, 0), Delta(0, -2, 0), Delta(0, -12, 0), Rgb(0, 59, 0)},
    {Saw8, Rgb(0, 60, 0), Delta(0, 1, 2), Delta(0, 6, 12), Rgb(0, 120, 120)},
    {Saw8, Rgb(0, 120, 120), Delta(0, 2, 2), Delta(0, 12, 12), Rgb(0, 244, 244)},
    {Saw8, Rgb(0, 255, 255), Delta(0, -2, 0), Delta(0, -10, 0), Rgb(0, 15, 255)},
    {Saw8, Rgb(0, 0, 255), Delta(0, 0, -2), Delta(0, 0, -10), Rgb(0, 0, 93)},
    {Saw8, Rgb(3, 0, 93), Delta(2, 0, 1), Delta(12, 0, 6), Rgb(183, 0, 183)},
    {Saw8, Rgb(183, 0, 183), Delta(2, 0, 2), Delta(12, 0, 12), Rgb(243, 0, 243)},
    {Saw8, Rgb(255, 0, 255), Delta(0, 2, 0), Delta(0, 12, 0), Rgb(255, 240, 255)},
    {Run, Rgb(255, 255, 255), Delta(0, 0, 0), 9, 0},
    {Saw8, Rgb(255, 255, 255), Delta(-1, -1, -1), Delta(-6, -6, -6), Rgb(31, 31, 31)},
    {Saw8, Rgb(32, 32, 32), Delta(-1, -1, -1), Delta(-7, -7, -7), Rgb(10, 10, 10)},
    {Run, Rgb(10, 10, 10), Delta(-1, -1, -1), 7, 0},
};

std::size_t WriteRun(ColourTable& table, std::size_t at, const PaletteSegment& segment) {
    std::uint32_t value = segment.start;
    for (std::uint32_t i = 0; i < segment.countOrBack; ++i, value += segment.step) table[at++] = value;
    return at;
}

template <std::uint32_t CycleLength>
std::size_t WriteSaw(ColourTable& table, std::size_t at, const PaletteSegment& segment) {
    std::uint32_t value = segment.start;
    do {
        assert(at + CycleLength <= table.size());
        for (std::uint32_t i = 0; i < CycleLength; ++i) table[at++] = value + i * segment.step;
        value = value + CycleLength * segment.step - segment.countOrBack;
    } while (value != segment.stop);
    return at;
}

}  // namespace

void BuildColourTable(ColourTable& table) {
    table[0] = 0;
    std::size_t at = 1;
    for (const PaletteSegment& segment : PaletteSegmentTable) {
        switch (segment.kind) {
        case Run: at = WriteRun(table, at, segment); break;
        case Saw4: at = WriteSaw<4>(table, at, segment); break;
        case Saw8: at = WriteSaw<8>(table, at, segment); break;
        }
    }
    assert(at == table.size());
}

void BuildMonoTable(MonoTable& table, std::uint32_t paletteMode) {
    const std::uint32_t step = ((paletteMode & BlueComponent) ? Rgb(0, 0, 1) : 0) |
                               ((paletteMode & GreenComponent) ? Rgb(0, 1, 0) : 0) |
                               ((paletteMode & RedComponent) ? Rgb(1, 0, 0) : 0);
    for (std::uint32_t i = 0; i < 256; ++i) table[i] = i * step;
    table[256] = 255 * step;
    for (std::uint32_t i = 257; i < 512; ++i) table[i] = (512 - i) * step;
}

}  // namespace qarn
