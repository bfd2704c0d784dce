#include "viewer/modes.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"
#include "viewer/selection.h"

namespace qarn {
namespace {

enum class Activity : std::uint8_t { None, AutoScroll, AutoZoom, ColourShifting, Selection };

struct Ending {
    Activity activity = Activity::None;
    bool aloneIfRan = false;  // when it ran, the action does nothing else
};

struct EndingRow {
    Action action;
    std::array<Ending, 4> endings;  // in order; the rest None
};

constexpr Ending Scroll{Activity::AutoScroll};
constexpr Ending Zoom{Activity::AutoZoom};
constexpr Ending Shifting{Activity::ColourShifting};
constexpr Ending Square{Activity::Selection};  // hides and centres a shown square
constexpr Ending ScrollAlone{Activity::AutoScroll, true};
constexpr Ending ZoomAlone{Activity::AutoZoom, true};

// Which action ends which activity, in the order the action ends them. Ending
// colour shifting while it runs (last row) ends AutoScroll, automatic zoom
// and the square too, so the actions that end it end those as well whenever
// it ran.
constexpr EndingRow EndingTable[] = {
    {Action::Press, {ScrollAlone, ZoomAlone, Shifting}},
    {Action::StartAutoScroll, {ScrollAlone, ZoomAlone, Shifting, Square}},
    {Action::ArrowKey, {Zoom}},
    {Action::OtherKey, {Zoom, Scroll}},
    {Action::SelectLevel, {Scroll, Zoom, Shifting}},
    {Action::ZoomCommands, {Shifting}},
    {Action::ColourShiftCommands, {Scroll, Zoom, Square}},
    {Action::PaletteOrDepthCommand, {Zoom, Shifting, Square}},
    {Action::MenuNavigation, {Scroll, Zoom, Shifting}},
    {Action::CloseWindow, {Shifting, Zoom, Scroll}},
    {Action::ColourShiftingEnds, {Scroll, Zoom, Square}},
};

constexpr bool RowsInActionOrder() {
    for (std::size_t i = 0; i < std::size(EndingTable); ++i)
        if (static_cast<std::size_t>(EndingTable[i].action) != i) return false;
    return std::size(EndingTable) == static_cast<std::size_t>(Action::ColourShiftingEnds) + 1;
}
static_assert(RowsInActionOrder());

// Ends the activity if it runs; reports whether it ran.
bool End(Viewer& viewer, Desktop& desktop, Activity activity) {
    switch (activity) {
    case Activity::AutoScroll: return CancelAutoScroll(viewer, desktop);
    case Activity::AutoZoom: return CancelAutoZoom(viewer, desktop);
    case Activity::ColourShifting: return StopColourShifting(viewer, desktop);
    case Activity::Selection: ResetSelection(viewer, desktop); return false;
    case Activity::None: break;
    }
    return false;
}

}  // namespace

bool EndActivities(Viewer& viewer, Desktop& desktop, Action action) {
    for (const Ending& ending : EndingTable[static_cast<std::size_t>(action)].endings) {
        if (ending.activity == Activity::None) break;
        if (End(viewer, desktop, ending.activity) && ending.aloneIfRan) return false;
    }
    return true;
}

}  // namespace qarn
