#include "engine/selection_rect.h"

#include <algorithm>

namespace qarn {

void PlaceSelectionRect(SelectionState& selection, int pictureTop, std::int32_t x, std::int32_t y) {
    const int levels = std::clamp(selection.SelectionLevels, MinSelectionLevels, MaxSelectionLevels);
    const std::int32_t side = SelectionSizes[static_cast<std::size_t>(levels)];
    const std::int32_t half = side / 2;
    selection.SelectionPoint = {x, y};
    const auto left = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{x} - half, 0, ViewSize - side));
    const auto top = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{y} - half, pictureTop, pictureTop + ViewSize - side));
    selection.SelectionRect = {left, top, left + side, top + side};
}

}  // namespace qarn
