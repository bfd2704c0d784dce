// Any bytes as a coordinate file, loaded as a drop or the Load command loads
// it: read, checked, and when accepted its settings taken, computed, mapped
// and the marks set. A refused file must change nothing and show one box.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "persistence/coordinate_file.h"
#include "support/recording_desktop.h"
#include "viewer/file_commands.h"
#include "viewer/viewer.h"

namespace {

constexpr std::uint32_t FuzzDepth = 12;

// The file system holds one file, the input. The computation reads the
// view's depth after the wait cursor goes up; lowering it there keeps each
// run short (a loaded depth of 4096 inside the set would take seconds)
// while everything before and after runs as it is.
class FuzzDesktop final : public qarn::testing::RecordingDesktop {
public:
    explicit FuzzDesktop(qarn::Viewer& viewer) : viewer_(viewer) {}

    void ShowCursor(qarn::CursorShape shape) override {
        if (shape == qarn::CursorShape::Wait) viewer_.engine.view.Depth = FuzzDepth;
    }

private:
    qarn::Viewer& viewer_;
};

struct LoadState {
    qarn::Viewer viewer{1};
    std::array<std::uint32_t, qarn::PixelCount> pixels{};
    LoadState() {
        qarn::BuildColourTable(viewer.tables.colour);
        viewer.displayPixels = pixels.data();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* state = new LoadState;
    qarn::Viewer& viewer = state->viewer;
    const auto before = qarn::EncodeViewState(viewer.engine.view);
    FuzzDesktop desktop(viewer);
    const std::u16string name = u"C:\\fuzz.qarn";
    desktop.files[name].assign(data, data + size);
    qarn::LoadDroppedFile(viewer, desktop, name.data(), name.size());

    if (desktop.errorBoxes.size() > 1) std::abort();
    if (desktop.errorBoxes.size() == 1) {
        // A refused file changes nothing.
        if (qarn::EncodeViewState(viewer.engine.view) != before) std::abort();
        return 0;
    }
    const qarn::ViewState& view = viewer.engine.view;
    if (view.ZoomLevel < 0 || view.ZoomLevel > qarn::MaxZoomLevel || (view.PaletteMode >> 16) != 0) std::abort();
    if (viewer.engine.ComputedDepth != FuzzDepth) std::abort();
    for (std::uint32_t count : viewer.engine.counts)
        if (count > FuzzDepth) std::abort();
    return 0;
}
