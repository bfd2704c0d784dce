#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// The actions that end running activities (AutoScroll, automatic zoom,
// colour shifting, a shown selection square) before doing their own work.
enum class Action {
    Press,                  // a left or right press on the picture
    StartAutoScroll,        // the middle press and command 48
    ArrowKey,               // a cursor key that reached the window
    OtherKey,               // any other key that reached it
    SelectLevel,            // commands 42 to 45 and the wheel
    ZoomCommands,           // commands 39 to 41, and each automatic zoom step
    ColourShiftCommands,    // commands 49 to 53 and the thumb buttons
    PaletteOrDepthCommand,  // commands 54 to 65
    MenuNavigation,
    CloseWindow,
    ColourShiftingEnds,  // colour shifting ended while it ran
};

// Ends what the action ends, in the action's order. Reports whether the
// action goes on: a press that ends AutoScroll or automatic zoom does
// nothing else.
bool EndActivities(Viewer& viewer, Desktop& desktop, Action action);

}  // namespace qarn
