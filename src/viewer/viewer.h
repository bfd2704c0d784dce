#pragma once
#include <array>
#include <cstdint>

#include "colour/display_mapping.h"
#include "colour/palette_tables.h"
#include "desktop/desktop.h"
#include "engine/view_engine.h"
#include "viewer/zoom_status_text.h"

namespace qarn {

// Everything the viewer keeps for the life of the process, in one place.
// Each member has one owning module that writes it; the shell's entry point
// holds the single instance.
struct Viewer {
    explicit Viewer(unsigned threads = 0) : engine(threads) {}

    ViewEngine engine;     // view, counts, computed depth (engine/)
    PaletteTables tables;  // colour and monochrome tables (colour/)
    // The zoom selection square (viewer/selection), in client coordinates
    // (its top and bottom carry the picture's top edge): the levels that
    // every zoom moves, whether the square is shown and follows the pointer,
    // the point it was last placed about, and the square itself.
    std::int32_t SelectionLevels = 1;
    bool SelectionTracking = false;
    ClientPoint SelectionPoint{HalfView, HalfView};
    ClientRect SelectionRect{0, 0, HalfView, HalfView};
    // While a zoom computes: the wait cursor, and the square ignores the
    // pointer (viewer/zoom_view); and the buffer of its status texts.
    bool Busy = false;
    ZoomStatusText zoomText;
    // Automatic zoom (viewer/auto_zoom): -1 outwards, +1 inwards, 0 off; and
    // the level at which zooming in stops.
    std::int32_t AutoZoomDirection = 0;
    std::int32_t AutoZoomTarget = 0;
    // AutoScroll (viewer/auto_scroll): running, and the point (the display
    // centre less 16 in each axis) its offsets are measured from.
    bool AutoScrollActive = false;
    ScreenPoint AutoScrollReference{};
    // Repeated colour shifting (viewer/colour_commands): -1 subtracting,
    // +1 adding, 0 off.
    std::int32_t ColourShiftDirection = 0;
    // The file being loaded or saved, and the dialogs' memory
    // (viewer/file_commands).
    FileNameBuffer fileName{};
    FileDialogState fileDialog;
    // The picture's 512 x 512 pixels, bottom-up: the window's display
    // surface, or a plain buffer where there is no window.
    std::uint32_t* displayPixels = nullptr;

    DisplayPixels Pixels() const { return DisplayPixels(displayPixels, PixelCount); }
};

// Maps the counts into the display and has the picture repainted.
void MapViewerDisplay(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
