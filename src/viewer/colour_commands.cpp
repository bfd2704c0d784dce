#include "viewer/colour_commands.h"

#include "viewer/modes.h"
#include "viewer/zoom_view.h"

namespace qarn {
namespace {

constexpr std::int32_t ShiftStep = 64;
constexpr std::int32_t ShiftTurn = 4096;

void ShowShiftingStatus(const Viewer& viewer, Desktop& desktop) {
    const std::int32_t direction = viewer.ColourShiftDirection;
    desktop.SetStatusText(StatusPart::Messages, direction < 0   ? u"Subtract Color Shifting..."
                                                : direction > 0 ? u"Add Color Shifting..."
                                                                : u"Ready");
}

void StopTimerOfShifting(Viewer& viewer, Desktop& desktop) {
    if (viewer.ColourShiftDirection == 0) return;
    viewer.ColourShiftDirection = 0;
    desktop.StopTimer(TimerId::ColourShift);
}

// A larger depth than the counts were computed with needs a new computation.
void ComputeIfDeeper(Viewer& viewer, Desktop& desktop) {
    if (viewer.engine.view.Depth > viewer.engine.ComputedDepth) ZoomView(viewer, desktop, 0);
}

}  // namespace

void ColourShiftCommand(Viewer& viewer, Desktop& desktop, int command) {
    EndActivities(viewer, desktop, Action::ColourShiftCommands);
    if (command == IDM_SUBTRACT_SHIFTING || command == IDM_ADD_SHIFTING) {
        const std::int32_t direction = command - IDM_RESTORE;
        if (viewer.ColourShiftDirection == direction) {
            StopTimerOfShifting(viewer, desktop);
        } else {
            // Reversing keeps the running timer; the first step comes with a tick.
            if (viewer.ColourShiftDirection == 0) desktop.StartTimer(TimerId::ColourShift, ColourShiftPeriod);
            viewer.ColourShiftDirection = direction;
        }
    } else {
        StopTimerOfShifting(viewer, desktop);
        std::int32_t& shift = viewer.engine.view.ColourShift;
        if (command == IDM_CONSTANT_SUBTRACT) {
            shift -= ShiftStep;
            if (shift < 0) shift += ShiftTurn;
        } else if (command == IDM_CONSTANT_ADD) {
            shift += ShiftStep;
            if (shift >= ShiftTurn) shift -= ShiftTurn;
        } else {
            shift = 0;
        }
        MapViewerDisplay(viewer, desktop);
    }
    ShowShiftingStatus(viewer, desktop);
}

void ColourShiftTick(Viewer& viewer, Desktop& desktop) {
    if (viewer.SelectionTracking || viewer.ColourShiftDirection == 0) return;
    std::int64_t next = std::int64_t{viewer.engine.view.ColourShift} + viewer.ColourShiftDirection;
    // ... 4095, 4096, 1, 2 ... adding; ... 1, 0, 4096, 4095 ... subtracting.
    if (next < 0)
        next = ShiftTurn;
    else if (next > ShiftTurn)
        next = 1;
    viewer.engine.view.ColourShift = static_cast<std::int32_t>(next);
    MapViewerDisplay(viewer, desktop);
}

bool StopColourShifting(Viewer& viewer, Desktop& desktop) {
    if (viewer.ColourShiftDirection == 0) return false;
    EndActivities(viewer, desktop, Action::ColourShiftingEnds);
    StopTimerOfShifting(viewer, desktop);
    ShowShiftingStatus(viewer, desktop);
    return true;
}

void PaletteCommand(Viewer& viewer, Desktop& desktop, int command) {
    EndActivities(viewer, desktop, Action::PaletteOrDepthCommand);
    ViewState& view = viewer.engine.view;
    std::uint32_t components = view.PaletteMode & ComponentBits;
    if (command < IDM_PALETTE_FIRST) {
        components ^= RedComponent >> (command - IDM_MONO_FIRST);
        view.PaletteMode = components + MonoPaletteSize;
        BuildMonoTable(viewer.tables.mono, view.PaletteMode);
    } else {
        const std::uint32_t size = MonoPaletteSize << (command - IDM_PALETTE_FIRST);
        view.PaletteMode = components + size;
        // Compared with the computed depth, not the present one.
        if (size > viewer.engine.ComputedDepth) {
            view.Depth = size;
            ComputeIfDeeper(viewer, desktop);
        }
    }
    MapViewerDisplay(viewer, desktop);
    SyncColourChecks(viewer, desktop);
}

void DepthCommand(Viewer& viewer, Desktop& desktop, int command) {
    EndActivities(viewer, desktop, Action::PaletteOrDepthCommand);
    viewer.engine.view.Depth = InitialDepth << (command - IDM_DEPTH_FIRST);
    ComputeIfDeeper(viewer, desktop);
    MapViewerDisplay(viewer, desktop);
    SyncColourChecks(viewer, desktop);
}

void SyncColourChecks(const Viewer& viewer, Desktop& desktop) {
    const ViewState& view = viewer.engine.view;
    for (int i = 0; i < 5; ++i)
        desktop.MarkCommand(IDM_PALETTE_FIRST + i, PaletteSize(view.PaletteMode) == (MonoPaletteSize << i));
    for (int i = 0; i < 4; ++i) desktop.MarkCommand(IDM_DEPTH_FIRST + i, view.Depth == (InitialDepth << i));
    for (int i = 0; i < 3; ++i) desktop.MarkCommand(IDM_MONO_FIRST + i, (view.PaletteMode & (RedComponent >> i)) != 0);
}

std::intptr_t ApplicationCommand(Viewer& viewer, Desktop& desktop, std::uint32_t commandAndDevice) {
    constexpr std::uint32_t ForwardFromMouse = 0x8002;
    constexpr std::uint32_t BackFromMouse = 0x8001;
    if (commandAndDevice != ForwardFromMouse && commandAndDevice != BackFromMouse) return 0;
    ColourShiftCommand(viewer, desktop,
                       commandAndDevice == ForwardFromMouse ? IDM_ADD_SHIFTING : IDM_SUBTRACT_SHIFTING);
    MapViewerDisplay(viewer, desktop);
    return 1;
}

}  // namespace qarn
