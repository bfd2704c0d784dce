// Which action ends which automatic mode, for every combination of running
// modes.
#include <functional>
#include <string>

#include "persistence/coordinate_file.h"
#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"
#include "viewer/file_commands.h"
#include "viewer/key_down.h"
#include "viewer/modes.h"
#include "viewer/mouse_press.h"
#include "viewer/selection.h"
#include "viewer/timer_tick.h"
#include "viewer/zoom_command.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

struct Modes {
    bool scroll, zoom, shift;
    bool operator==(const Modes&) const = default;
};

std::string Describe(Modes m) {
    return std::string("{scroll ") + (m.scroll ? "on" : "off") + ", zoom " + (m.zoom ? "on" : "off") + ", shift " +
           (m.shift ? "on" : "off") + "}";
}

struct Action {
    const char* name;
    std::function<void(Viewer&, Desktop&)> act;
    // The modes after the action, from those before; and whether the view
    // changed (a zoom happened).
    std::function<Modes(Modes)> after;
    std::function<bool(Modes)> zooms;
};

bool Never(Modes) { return false; }

class ModesTable : public testing::ViewerTest {
protected:
    void Run(Modes before, const Action& action) {
        SetUp();
        AtLevel(10);
        ComputeRows(viewer->engine, -ViewSize);
        if (before.scroll) {
            viewer->AutoScrollActive = true;
            desktop.StartTimer(TimerId::AutoScroll, AutoScrollPeriod);
            desktop.captured = true;
        }
        if (before.zoom) StartAutoZoom(*viewer, desktop, +1);
        if (before.shift) {
            viewer->ColourShiftDirection = 1;
            desktop.StartTimer(TimerId::ColourShift, ColourShiftPeriod);
        }
        const int level = View().ZoomLevel;
        action.act(*viewer, desktop);
        const Modes now{viewer->AutoScrollActive, viewer->AutoZoomDirection != 0, viewer->ColourShiftDirection != 0};
        const std::string where = std::string(action.name) + " with " + Describe(before);
        EXPECT_EQ(Describe(now), Describe(action.after(before))) << where;
        EXPECT_EQ(desktop.TimerRuns(TimerId::AutoScroll), now.scroll) << where;
        EXPECT_EQ(desktop.TimerRuns(TimerId::AutoZoom), now.zoom) << where;
        EXPECT_EQ(desktop.TimerRuns(TimerId::ColourShift), now.shift) << where;
        EXPECT_EQ(desktop.captured, now.scroll) << where;
        EXPECT_EQ(View().ZoomLevel != level, action.zooms(before)) << where;
    }
};

// clang-format off
TEST_F(ModesTable, EveryActionAgainstEveryCombinationOfModes) {
    auto pressGoesOn = [](Modes m) { return !m.scroll && !m.zoom; };
    const auto record = EncodeViewState(testing::ViewAround(-0.75L, 0.1L, 12, 512));
    const std::vector<std::uint8_t> elsewhere(record.begin(), record.end());
    const Action actions[] = {
        {"left press", [](Viewer& v, Desktop& d) { LeftPress(v, d, {256, 28 + 256}); },
         [&](Modes m) { return m.scroll ? Modes{false, m.zoom, m.shift} : m.zoom ? Modes{false, false, m.shift}
                                                                               : Modes{false, false, false}; },
         pressGoesOn},
        {"right press", [](Viewer& v, Desktop& d) { RightPress(v, d); },
         [&](Modes m) { return m.scroll ? Modes{false, m.zoom, m.shift} : m.zoom ? Modes{false, false, m.shift}
                                                                               : Modes{false, false, false}; },
         pressGoesOn},
        {"middle press", [](Viewer& v, Desktop& d) { StartAutoScroll(v, d); },
         [](Modes m) { return m.scroll ? Modes{false, m.zoom, m.shift} : m.zoom ? Modes{false, false, m.shift}
                                                                              : Modes{true, false, false}; },
         Never},
        {"arrow key", [](Viewer& v, Desktop& d) { KeyDown(v, d, Key::Left); },
         [](Modes m) { return Modes{m.scroll, false, m.shift}; }, Never},
        {"other key", [](Viewer& v, Desktop& d) { KeyDown(v, d, Key::Other); },
         [](Modes m) { return Modes{false, false, m.shift}; }, Never},
        {"select level command", [](Viewer& v, Desktop& d) { SelectLevelCommand(v, d, 43); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"mouse wheel", [](Viewer& v, Desktop& d) { MouseWheel(v, d, 120); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"zoom in command", [](Viewer& v, Desktop& d) { ZoomCommand(v, d, IDM_ZOOM_IN); },
         [](Modes m) { return m.shift ? Modes{false, false, false} : m; }, [](Modes) { return true; }},
        {"zero level command", [](Viewer& v, Desktop& d) { ZoomCommand(v, d, IDM_ZERO_LEVEL); },
         [](Modes m) { return m.shift ? Modes{false, false, false} : m; }, [](Modes) { return true; }},
        {"constant shift command", [](Viewer& v, Desktop& d) { ColourShiftCommand(v, d, 49); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"add shifting command", [](Viewer& v, Desktop& d) { ColourShiftCommand(v, d, 52); },
         [](Modes m) { return Modes{false, false, !m.shift}; }, Never},
        {"thumb button", [](Viewer& v, Desktop& d) { ApplicationCommand(v, d, 0x8001); },
         [](Modes) { return Modes{false, false, true}; }, Never},
        {"palette command", [](Viewer& v, Desktop& d) { PaletteCommand(v, d, 58); },
         [](Modes m) { return Modes{m.scroll && !m.shift, false, false}; }, Never},
        {"depth command", [](Viewer& v, Desktop& d) { DepthCommand(v, d, 62); },
         [](Modes m) { return Modes{m.scroll && !m.shift, false, false}; }, Never},
        {"menu navigation", [](Viewer& v, Desktop& d) { EndActivities(v, d, qarn::Action::MenuNavigation); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"closing the window", [](Viewer& v, Desktop& d) { EndActivities(v, d, qarn::Action::CloseWindow); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"left double click", [](Viewer& v, Desktop& d) {
             LeftPress(v, d, {300, 28 + 200});
             StartAutoZoomIn(v, d);
         },
         [](Modes m) { return Modes{false, true, m.scroll || m.zoom ? m.shift : false}; }, pressGoesOn},
        {"right double click", [](Viewer& v, Desktop& d) {
             RightPress(v, d);
             StartAutoZoomOut(v, d, true);
         },
         [](Modes m) { return Modes{false, true, m.scroll || m.zoom ? m.shift : false}; }, pressGoesOn},
        {"zoom out command", [](Viewer& v, Desktop& d) { ZoomCommand(v, d, IDM_ZOOM_OUT); },
         [](Modes m) { return m.shift ? Modes{false, false, false} : m; }, [](Modes) { return true; }},
        {"subtract shifting command", [](Viewer& v, Desktop& d) { ColourShiftCommand(v, d, 50); },
         [](Modes) { return Modes{false, false, true}; }, Never},
        {"restore command", [](Viewer& v, Desktop& d) { ColourShiftCommand(v, d, 51); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        {"constant add shift command", [](Viewer& v, Desktop& d) { ColourShiftCommand(v, d, 53); },
         [](Modes) { return Modes{false, false, false}; }, Never},
        // A step of automatic zoom towards the deepest level: it ends
        // shifting, and through that AutoScroll and itself.
        {"automatic zoom tick", [](Viewer& v, Desktop& d) {
             v.AutoZoomTarget = MaxZoomLevel;
             TimerTick(v, d, 2);
         },
         [](Modes m) { return !m.zoom ? m : m.shift ? Modes{false, false, false} : m; },
         [](Modes m) { return m.zoom; }},
        {"command 47", [](Viewer& v, Desktop& d) { StartAutoZoomIn(v, d); },
         [](Modes m) { return Modes{m.scroll, true, m.shift}; }, Never},
        {"command 46", [](Viewer& v, Desktop& d) { StartAutoZoomOut(v, d, false); },
         [](Modes m) { return Modes{m.scroll, true, m.shift}; }, Never},
        // The file commands end nothing; a load computes its own view.
        {"save as", [](Viewer& v, Desktop& d) {
             static_cast<testing::RecordingDesktop&>(d).dialogAnswer = u"C:\\modes.qarn";
             SaveAsCommand(v, d);
         },
         [](Modes m) { return m; }, Never},
        {"load", [&](Viewer& v, Desktop& d) {
             auto& files = static_cast<testing::RecordingDesktop&>(d);
             files.files[u"C:\\modes.qarn"] = elsewhere;
             files.dialogAnswer = u"C:\\modes.qarn";
             LoadCommand(v, d);
         },
         [](Modes m) { return m; }, [](Modes) { return true; }},
        {"dropped file", [&](Viewer& v, Desktop& d) {
             static_cast<testing::RecordingDesktop&>(d).files[u"C:\\dropped.qarn"] = elsewhere;
             const std::u16string name = u"C:\\dropped.qarn";
             LoadDroppedFile(v, d, name.data(), name.size());
         },
         [](Modes m) { return m; }, [](Modes) { return true; }},
    };
    for (const Action& action : actions)
        for (int bits = 0; bits < 8; ++bits) Run({(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0}, action);
}
// clang-format on

TEST_F(ModesTable, AutomaticZoomEndsAtItsTarget) {
    AtLevel(20);
    StartAutoZoomIn(*viewer, desktop);
    viewer->AutoZoomTarget = 21;
    TimerTick(*viewer, desktop, 2);
    EXPECT_EQ(View().ZoomLevel, 21);
    EXPECT_EQ(viewer->AutoZoomDirection, 1);
    TimerTick(*viewer, desktop, 2);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    EXPECT_FALSE(desktop.TimerRuns(TimerId::AutoZoom));
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
}

}  // namespace
}  // namespace qarn
