#pragma once
#include <array>
#include <cstdint>

#include "engine/view_state.h"

namespace qarn {

struct ClientPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct ClientRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

inline constexpr int MinSelectionLevels = 1;
inline constexpr int MaxSelectionLevels = 4;
// Side of the square for each level: 512 shifted right by the level.
inline constexpr std::array<int, 5> SelectionSizes{0, 256, 128, 64, 32};

// The zoom selection square, in client coordinates (its top and bottom carry
// the picture's top edge). A zoom in shows exactly the square's contents.
struct SelectionState {
    std::int32_t SelectionLevels = 1;
    std::int32_t SelectionTracking = 0;
    ClientPoint SelectionPoint{HalfView, HalfView};
    ClientRect SelectionRect{0, 0, HalfView, HalfView};
};

// Centres the square on (x, y), pushed inside the picture; draws nothing.
void PlaceSelectionRect(SelectionState& selection, int pictureTop, std::int32_t x, std::int32_t y);

}  // namespace qarn
