#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "support/recording_desktop.h"
#include "support/views.h"
#include "viewer/viewer.h"
#include "viewer/first_picture.h"

namespace qarn::testing {

// A viewer after start-up, with its picture in a plain buffer and a
// recording desktop for a window. Depth 512 keeps every computation quick.
class ViewerTest : public ::testing::Test {
protected:
    static constexpr int Top = 28;

    void SetUp() override {
        desktop = RecordingDesktop{Top};
        viewer = std::make_unique<Viewer>();
        pixels = std::make_unique<std::array<std::uint32_t, PixelCount>>();
        viewer->displayPixels = pixels->data();
        ShowFirstPicture(*viewer, desktop);
        desktop.status.clear();
        desktop.cursors.clear();
    }

    ViewState& View() { return viewer->engine.view; }
    ClientPoint Centre() const { return {HalfView, Top + HalfView}; }
    // The screen point of a client point.
    ScreenPoint Screen(ClientPoint point) const { return desktop.ToScreen(point); }
    // Puts the view at a level, keeping the home origin: enough for the modes.
    void AtLevel(int level) {
        View().ZoomLevel = level;
        View().PixelStep = StepOfLevel(level);
    }

    std::unique_ptr<Viewer> viewer;
    std::unique_ptr<std::array<std::uint32_t, PixelCount>> pixels;
    RecordingDesktop desktop{Top};
};

}  // namespace qarn::testing
