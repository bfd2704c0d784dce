#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qarn {

// A user's colours along one period: stops at positions from 0 to 1, not
// decreasing, each a 0x00RRGGBB colour. Between two stops the colour is
// their mix in linear light; after the last stop the first comes again, at
// its position + 1.
struct GradientStop {
    double position;
    std::uint32_t colour;
};

struct Gradient {
    std::vector<GradientStop> stops;
};

inline constexpr std::size_t MaxGradientBytes = std::size_t{1} << 20;
inline constexpr std::size_t MaxGradientStops = 65536;
inline constexpr int PaletteFileEntries = 256;

// The text of a gradient file, in either of two formats told apart by the
// first line that holds anything:
// - stops: "POSITION #RRGGBB" a line, the position a decimal real from 0 to
//   1, not below the one before; blank lines, and anything from a '#' that
//   starts a line or follows the colour, are comments;
// - a palette file (.map): 256 lines of three decimal R G B values from 0 to
//   255, anything after them on the line a comment, blank lines ignored;
//   entry i stands at i / 256.
// Returns an empty string, or "line N: what is wrong" (line 0 for the
// file as a whole).
[[nodiscard]] std::string ParseGradient(std::string_view text, Gradient& gradient);

// Reads and parses a file; a failure is one line naming the file, the line
// and what is wrong.
[[nodiscard]] std::string LoadGradient(const std::string& path, Gradient& gradient);

}  // namespace qarn
