// The plan of a run: which pictures and frames, with which areas, formats
// and names, and what a resumed run leaves out.
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "render_plan.h"
#include "view_input.h"
#include "view_text.h"
#include "support/views.h"

namespace qarn::render {
namespace {

RenderOptions Options(const std::vector<const char*>& args) {
    std::vector<const char*> argv{"qarn-render"};
    argv.insert(argv.end(), args.begin(), args.end());
    ParsedCommandLine parsed = ParseRenderOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_TRUE(parsed.options) << parsed.err;
    return parsed.options.value_or(RenderOptions{});
}

bool SameArea(const PictureArea& a, const PictureArea& b) {
    return a.originRe == b.originRe && a.originIm == b.originIm && a.step == b.step && a.width == b.width &&
           a.height == b.height;
}

// The point at the middle of an area (between its two middle points on
// each axis), from its origin and step.
struct Middle {
    long double re;
    long double im;
    bool operator==(const Middle&) const = default;
};
Middle MiddleOf(const PictureArea& area) {
    return {area.originRe + static_cast<long double>(area.width / 2) * area.step,
            area.originIm - static_cast<long double>(area.height / 2) * area.step};
}
Middle CentreOfView(const ViewState& view) {
    return {view.OriginRe + 256.0L * view.PixelStep, view.OriginIm - 256.0L * view.PixelStep};
}

// A view on the grid of level 8 (step 2^-15): every origin, centre and step
// below is a binary fraction held exactly, so the areas' middles can be
// compared exactly.
TEST(RenderPlan, PictureAndFramesInOrderWithTheirAreasAndNames) {
    const ViewState view = testing::ViewAround(-0.75L, 0.1L, 8, 1024);
    const Middle centre = CentreOfView(view);
    const struct {
        const char* format;  // --format, or none
        const char* extension;
        PictureFormat frames;
    } rows[] = {{nullptr, ".png", PictureFormat::Png}, {"exr", ".exr", PictureFormat::Exr}};
    for (const auto& row : rows) {
        std::vector<const char*> args{"-o", "p.png",         "--counts", "p.u32", "--size",   "64x32", "--supersample",
                                      "2",  "--zoom-frames", "4",        "f",     "--frames", "1-3"};
        if (row.format != nullptr) args.insert(args.end(), {"--format", row.format});
        const RenderOptions options = Options(args);
        const std::string extension = row.extension;
        std::vector<std::string> asked;
        const RenderPlan plan = MakeRenderPlan(options, view, [&](const std::string& path) {
            asked.push_back(path);
            return path == "f/frame-0002" + extension;  // already whole: left out
        });
        EXPECT_EQ(plan.shown.Depth, 1024u);
        EXPECT_EQ(plan.info, "");
        ASSERT_EQ(plan.pictures.size(), 3u);
        EXPECT_EQ(asked, (std::vector<std::string>{"f/frame-0001" + extension, "f/frame-0002" + extension,
                                                   "f/frame-0003" + extension}))
            << "each frame of the range is looked for once, by its own format's name";

        // 64 x 32 pixels of 2 x 2 points: 128 x 64 points at half the step,
        // about the view's centre.
        const PlannedPicture& picture = plan.pictures[0];
        EXPECT_EQ(picture.frame, -1);
        EXPECT_EQ(*picture.pictureFile, "p.png");
        EXPECT_EQ(picture.format->format, PictureFormat::Png);
        EXPECT_EQ(*picture.countsFile, "p.u32");
        EXPECT_EQ((std::vector<int>{picture.area.width, picture.area.height}), (std::vector<int>{128, 64}));
        EXPECT_EQ(picture.area.step, 0x1p-16L);
        EXPECT_TRUE(MiddleOf(picture.area) == centre);

        // Frame k of 4 zooming to level 8 is level 2k (step 2^-(7+2k)) about
        // the same centre, at the same size and supersampling; the last
        // frame would be the picture itself.
        const std::vector<int> frames{plan.pictures[1].frame, plan.pictures[2].frame};
        EXPECT_EQ(frames, (std::vector<int>{1, 3}));
        for (const PlannedPicture& frame : std::span(plan.pictures).subspan(1)) {
            EXPECT_EQ(*frame.pictureFile, "f/frame-000" + std::to_string(frame.frame) + extension);
            EXPECT_EQ(frame.format->format, row.frames);
            EXPECT_FALSE(frame.countsFile);
            EXPECT_EQ((std::vector<int>{frame.area.width, frame.area.height}), (std::vector<int>{128, 64}));
            EXPECT_EQ(frame.area.step, std::ldexp(1.0L, -8 - 2 * frame.frame)) << frame.frame;
            EXPECT_TRUE(MiddleOf(frame.area) == centre) << frame.frame;
        }
        EXPECT_EQ(plan.Rows(), 3 * 64);
    }
}

// A zoom into a deep view: frames up to level 56 are shallow areas about
// the 80-bit centre, deeper ones deep areas at their frame steps, the last
// the picture's own area.
TEST(RenderPlan, DeepZoomFramesSplitAtLevel56) {
    const RenderOptions options = Options({"--at", "-0.75", "0.09375", "--level", "100", "--depth", "1024", "--size",
                                           "32x18", "--supersample", "2", "-o", "p.png", "--zoom-frames", "10", "f"});
    ViewState view;
    ASSERT_EQ(DefineView(options, view), "");
    const RenderPlan plan = MakeRenderPlan(options, view, [](const std::string&) { return false; });
    ASSERT_EQ(plan.pictures.size(), 12u);
    ASSERT_TRUE(plan.deepest && plan.pictures[0].deep);
    const Middle centre{-0.75L, 0.09375L};  // binary fractions: the middles are exact
    for (int k = 0; k <= 10; ++k) {
        const PlannedPicture& frame = plan.pictures[static_cast<std::size_t>(k + 1)];
        EXPECT_EQ(frame.frame, k);
        EXPECT_EQ(frame.deep.has_value(), 10 * k > 56) << k;  // frame k at level 10 k
        if (!frame.deep) {
            EXPECT_EQ(frame.area.step, std::ldexp(1.0L, -(7 + 10 * k)) / 2) << k;
            EXPECT_TRUE(MiddleOf(frame.area) == centre) << k;
            continue;
        }
        EXPECT_EQ(ExtendedOf(*frame.deep->squareStep), std::ldexp(1.0L, -(7 + 10 * k))) << k;
        EXPECT_EQ(frame.deep->width, 64);
        EXPECT_EQ(frame.deep->height, 36);
        EXPECT_EQ(frame.deep->divisor, 2);
        EXPECT_EQ(frame.deep->location.re, plan.deepest->location.re);
        EXPECT_EQ(frame.deep->location.im, plan.deepest->location.im);
    }
    const std::vector<long double> last = DeepColumnOffsets(*plan.pictures.back().deep);
    EXPECT_EQ(last, DeepColumnOffsets(*plan.pictures[0].deep)) << "the last frame is the picture";
}

// --info with --zoom-frames shows where the range's frames are, one block
// each, and renders none of them; a picture asked for is still made.
TEST(RenderPlan, InfoWithZoomFramesShowsTheFramesInstead) {
    const ViewState view = testing::ViewAround(-0.75L, 0.1L, 8, 1024);
    const RenderPlan plan = MakeRenderPlan(Options(
                                               {"--info", "-o", "p.png", "--zoom-frames", "4", "f", "--frames", "2-4"}),
                                           view, [](const std::string&) {
                                               ADD_FAILURE() << "no frame to look for";
                                               return false;
                                           });
    ASSERT_EQ(plan.pictures.size(), 1u);
    EXPECT_EQ(plan.pictures[0].frame, -1);
    EXPECT_EQ(plan.info, ZoomFramesInfo(view, 2, 4, 4));
    EXPECT_EQ(plan.info.rfind("frame: 2\n", 0), 0u) << plan.info;
    // Frame 2 of 4 is level 4 about the view's centre; the last is the view.
    ViewState level4 = view;
    const Middle centre = CentreOfView(view);
    level4.OriginRe = centre.re - 256.0L * 0x1p-11L;
    level4.OriginIm = centre.im + 256.0L * 0x1p-11L;
    level4.PixelStep = 0x1p-11L;
    level4.ZoomLevel = 4;
    const std::string blocks = "frame: 2\n" + ViewInfo(level4) + "\nframe: 3\n";
    EXPECT_EQ(plan.info.substr(0, blocks.size()), blocks);
    EXPECT_NE(plan.info.find("frame: 3\norigin: "), std::string::npos);
    EXPECT_NE(plan.info.find("level: 6\n"), std::string::npos) << "frame 3's nearest level";
    EXPECT_TRUE(plan.info.ends_with("\n\nframe: 4\n" + ViewInfo(view))) << plan.info;
}

// A deep zoom's frames as they are made: squares of the 80-bit grid up to
// level 56, then the deep centre with each frame's exact step (2^-67.5 is
// 2^-68 times the 64-bit significand of the square root of 2).
TEST(RenderPlan, InfoShowsTheFramesOfADeepZoomAsTheyAreMade) {
    const RenderOptions options = Options(
        {"--at", "-0.75", "0.09375", "--level", "121", "--info", "--zoom-frames", "4", "f", "--frames", "1-4"});
    ViewState view;
    ASSERT_EQ(DefineView(options, view), "");
    const RenderPlan plan = MakeRenderPlan(options, view, [](const std::string&) { return false; });
    EXPECT_TRUE(plan.pictures.empty());
    const std::size_t second = plan.info.find("\n\nframe: 2\n");
    ASSERT_NE(second, std::string::npos) << plan.info;
    const std::string first = plan.info.substr(0, second);
    EXPECT_EQ(first.rfind("frame: 1\norigin: ", 0), 0u) << first;
    EXPECT_NE(first.find("\nlevel: 30\n"), std::string::npos) << first;
    EXPECT_NE(plan.info.find("frame: 2\ncentre: -0.75 0.09375\nlevel: 61\nstep: 0x1.6a09e667f3bcc908p-68\n"),
              std::string::npos)
        << plan.info;
    const std::optional<DeepLocation> deep = DeepLocationOf(options);
    ASSERT_TRUE(deep);
    EXPECT_TRUE(
        plan.info.ends_with("\n\nframe: 4\n" + DeepViewInfo(deep->re, deep->im, 121, CentreFractionBits(121), view)))
        << plan.info;
    EXPECT_NE(plan.info.find("level: 121\nstep: 0x1p-128\n"), std::string::npos) << plan.info;
}

TEST(RenderPlan, ViewAloneOrSavedPlansNoPicture) {
    const ViewState view = testing::HomeViewState(512);
    const RenderPlan info = MakeRenderPlan(Options({"--info", "--save", "v.qarn"}), view, [](const std::string&) {
        ADD_FAILURE() << "no frame to look for";
        return false;
    });
    EXPECT_TRUE(info.pictures.empty());
    EXPECT_EQ(info.saveFile.value_or(""), "v.qarn");
    // A level-0 view off the home square is saved as it is, and shown as home.
    ViewState scrolled = view;
    scrolled.OriginRe = -1.5L;
    const RenderPlan off = MakeRenderPlan(Options({}), scrolled, [](const std::string&) { return false; });
    EXPECT_EQ(off.view.OriginRe, -1.5L);
    EXPECT_EQ(off.shown.OriginRe, -2.0L);
    // The window's picture by default, as a bitmap.
    const RenderPlan plain = MakeRenderPlan(Options({}), view, [](const std::string&) { return false; });
    ASSERT_EQ(plain.pictures.size(), 1u);
    EXPECT_EQ(plain.pictures[0].format->format, PictureFormat::Bitmap);
    EXPECT_TRUE(SameArea(plain.pictures[0].area, PictureArea{-2.0L, 2.0L, 0x1p-7L, 512, 512}));
}

}  // namespace
}  // namespace qarn::render
