// Any bytes as a coordinate file: read, checked, and when accepted computed
// (at a small depth, to keep the runs many) and mapped, as a load does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "colour/display_mapping.h"
#include "colour/palette_tables.h"
#include "desktop/desktop.h"
#include "engine/zoom.h"
#include "persistence/coordinate_file.h"

namespace {

struct LoadState {
    qarn::ViewEngine engine{1};
    qarn::PaletteTables tables;
    std::array<std::uint32_t, qarn::PixelCount> pixels{};
    LoadState() { qarn::BuildColourTable(tables.colour); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* state = new LoadState;
    qarn::ViewState view;
    const auto before = qarn::EncodeViewState(view);
    const auto problem = qarn::DecodeCoordinateFile(std::span(data, size), view);
    if (problem != qarn::CoordinateFileProblem::None) {
        // A refused file changes nothing.
        if (qarn::EncodeViewState(view) != before) std::abort();
        return 0;
    }
    if (view.ZoomLevel < 0 || view.ZoomLevel > qarn::MaxZoomLevel || (view.PaletteMode >> 16) != 0) std::abort();
    view.Depth = 12;
    state->engine.view = view;
    qarn::HeadlessDesktop desktop;
    qarn::SelectionState selection;
    qarn::BuildMonoTable(state->tables.mono, view.PaletteMode);
    qarn::ZoomView(state->engine, selection, 0, desktop, 0);
    qarn::MapDisplay(state->engine.counts, state->engine.view, state->tables, state->pixels, desktop);
    for (std::uint32_t count : state->engine.counts)
        if (count > 12) std::abort();
    return 0;
}
