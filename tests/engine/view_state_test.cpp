#include "engine/view_state.h"

#include <gtest/gtest.h>

#include "engine/strip_plan.h"
#include "support/views.h"

namespace qarn {
namespace {

ExtendedImage Bytes(std::initializer_list<int> values) {
    ExtendedImage image{};
    std::size_t i = 0;
    for (int v : values) image[i++] = static_cast<std::uint8_t>(v);
    return image;
}

TEST(ExtendedReal, ImagesOfTheViewConstants) {
    EXPECT_EQ(ToImage(-2.0L), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}));
    EXPECT_EQ(ToImage(2.0L), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40}));
    EXPECT_EQ(ToImage(0.0078125L), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xF8, 0x3F}));
    EXPECT_EQ(ToImage(EscapeBound), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x40}));
    EXPECT_EQ(ToImage(512.0L), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x08, 0x40}));
    const long double odd = -0.7436438870371587123L;
    EXPECT_EQ(FromImage(ToImage(odd).data()), odd);
}

TEST(ViewState, HomeViewCoordinatesOfCornerAndCentrePixels) {
    StripPlan plan;
    ASSERT_TRUE(PlanRows(testing::HomeViewState(), -ViewSize, plan));
    EXPECT_EQ(plan.re[0], -2.0L);
    EXPECT_EQ(plan.im[0], 2.0L);
    EXPECT_EQ(plan.re[256], 0.0L);
    EXPECT_EQ(plan.im[256], 0.0L);
    EXPECT_EQ(plan.re[511], 1.9921875L);
    EXPECT_EQ(plan.im[511], -1.9921875L);
}

TEST(ViewState, StepsOfTheLevels) {
    EXPECT_EQ(testing::StepOfLevel(1), 0.00390625L);
    EXPECT_EQ(testing::StepOfLevel(56), std::ldexp(1.0L, -63));
    EXPECT_EQ(512.0L * testing::StepOfLevel(56), std::ldexp(1.0L, -54));
    // At the deepest level neighbouring pixels near 1 are still distinct.
    const long double one = 1.0L;
    EXPECT_NE(one + testing::StepOfLevel(56), one);
}

}  // namespace
}  // namespace qarn
