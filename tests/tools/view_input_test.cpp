// Views as the options define them: past level 56 the centre is read from
// --at's text exactly and rounded once to its grid, 64 bits finer than the
// step; levels 0 to 56 keep their 80-bit view.
#include <gtest/gtest.h>

#include <gmp.h>

#include <optional>
#include <string>
#include <vector>

#include "deep/dyadic_text.h"
#include "view_input.h"
#include "view_text.h"

namespace qarn::render {
namespace {

RenderOptions Options(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"qarn-render"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    const ParsedCommandLine parsed = ParseRenderOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_TRUE(parsed.options) << parsed.err;
    return parsed.options.value_or(RenderOptions{});
}

// |C - exact| <= 2^-(bits + 1), C a multiple of 2^-bits: the nearest grid
// point, checked with GMP's rationals from the text's own digits.
void ExpectNearestOnGrid(const deep::DyadicNumber& c, const char* decimalDigits, long decimalPlaces,
                         std::int64_t bits) {
    EXPECT_GE(c.exponent, -bits);
    mpq_t exact, got, difference, half;
    mpq_inits(exact, got, difference, half, nullptr);
    mpz_t n, d;
    mpz_init_set_str(n, decimalDigits, 10);
    mpz_init(d);
    mpz_ui_pow_ui(d, 10, static_cast<unsigned long>(decimalPlaces));
    mpq_set_num(exact, n);
    mpq_set_den(exact, d);
    mpq_canonicalize(exact);
    deep::IntegerOf(c, n);
    mpz_set_ui(d, 1);
    if (c.exponent < 0)
        mpz_mul_2exp(d, d, static_cast<mp_bitcnt_t>(-c.exponent));
    else
        mpz_mul_2exp(n, n, static_cast<mp_bitcnt_t>(c.exponent));
    mpq_set_num(got, n);
    mpq_set_den(got, d);
    mpq_canonicalize(got);
    mpq_sub(difference, got, exact);
    mpq_abs(difference, difference);
    mpz_set_ui(n, 1);
    mpz_set_ui(d, 1);
    mpz_mul_2exp(d, d, static_cast<mp_bitcnt_t>(bits + 1));
    mpq_set_num(half, n);
    mpq_set_den(half, d);
    EXPECT_LE(mpq_cmp(difference, half), 0) << decimalDigits;
    mpz_clears(n, d, nullptr);
    mpq_clears(exact, got, difference, half, nullptr);
}

TEST(DeepLocation, CentreReadExactlyAndRoundedToItsGrid) {
    // 60 digits: far more than an 80-bit value holds.
    const char* re = "-0.743643887037158704752191506114774000000000000000000000000001";
    const char* im = "0.131825904205311970493132056385139";
    for (const std::int64_t level : {57, 90, 300, 20000, 1000000}) {
        const auto location = DeepLocationOf(Options({"--at", re, im, "--level", std::to_string(level)}));
        ASSERT_TRUE(location) << level;
        EXPECT_EQ(location->level, level);
        ExpectNearestOnGrid(location->re, "-743643887037158704752191506114774000000000000000000000000001", 60,
                            CentreFractionBits(level));
        ExpectNearestOnGrid(location->im, "131825904205311970493132056385139", 33, CentreFractionBits(level));
        EXPECT_EQ(CentreFractionBits(level), 7 + level + 64);
    }
    // The last digit counts where the grid is fine enough to see it.
    const auto a = DeepLocationOf(
        Options({"--at", "0.1000000000000000000000000000000000000001", "0", "--level", "200"}));
    const auto b = DeepLocationOf(Options({"--at", "0.1", "0", "--level", "200"}));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->re, b->re);
    EXPECT_EQ(a->im, deep::DyadicNumber{});
    // Hexadecimal, exactly.
    const auto hex = DeepLocationOf(Options({"--at", "-0x1.8p-3", "0x1p-100", "--level", "60"}));
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->re, *deep::ReadDyadic("-0.1875", 4));
    EXPECT_EQ(hex->im.exponent, -100);
}

TEST(DeepLocation, ShallowViewsAndRefusedTextHaveNone) {
    EXPECT_FALSE(DeepLocationOf(Options({"--at", "-0.75", "0.1", "--level", "56"})));
    EXPECT_FALSE(DeepLocationOf(Options({"--at", "-0.75", "0.1", "--level", "0"})));
    EXPECT_FALSE(DeepLocationOf(Options({"--origin", "-0.75", "0.1", "--level", "30"})));
    EXPECT_FALSE(DeepLocationOf(Options({"--at", "-0.75", "0.1", "--level", "1000001"})));
    EXPECT_FALSE(DeepLocationOf(Options({"--at", "inf", "0.1", "--level", "60"})));
    EXPECT_FALSE(DeepLocationOf(Options({})));
}

TEST(DefineView, DeepViewsKeepTheirLevelAndSettingsChecks) {
    ViewState view;
    EXPECT_EQ(DefineView(Options({"--at", "-0.75", "0.1", "--level", "57", "--depth", "4096", "--shift", "7"}), view),
              "");
    EXPECT_EQ(view.ZoomLevel, 57);
    EXPECT_EQ(view.PixelStep, 0x1p-64L);
    EXPECT_EQ(view.Depth, 4096u);
    EXPECT_EQ(view.ColourShift, 7);
    EXPECT_EQ(view.OriginRe + 256 * view.PixelStep, -0.75L);
    EXPECT_EQ(DefineView(Options({"--at", "0", "0", "--level", "1000000"}), view), "");
    EXPECT_EQ(view.ZoomLevel, 1000000);

    const struct {
        std::vector<std::string> args;
        const char* reason;
    } refusals[] = {
        {{"--at", "0", "0", "--level", "1000001"}, "zoom level outside 0 to 1000000"},
        {{"--at", "0", "0", "--level", "-1"}, "zoom level outside 0 to 1000000"},
        {{"--at", "nan", "0", "--level", "90"}, "finite numbers"},
        {{"--at", "0", "infinity", "--level", "90"}, "finite numbers"},
        {{"--at", "0", "0", "--level", "90", "--shift", "4097"}, "shift"},
        {{"--at", "0", "0", "--level", "90", "--palette", "0x1107"}, "palette"},
    };
    for (const auto& row : refusals) {
        const std::string error = DefineView(Options(row.args), view);
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.args[1] << " " << row.args[4] << ": " << error;
    }
}

}  // namespace
}  // namespace qarn::render

namespace qarn::render {
namespace {

TEST(LocationText, ZoomIsTheNearestWholeLevel) {
    const struct {
        const char* zoom;
        std::optional<std::int64_t> level;
    } rows[] = {
        {"1", 0},
        {"2", 1},
        {"3", 2},
        {"1.414", 0},
        {"1.4143", 1},  // sqrt 2 = 1.41421...
        {"0.5", 0},
        {"1e30", 100},
        {"1.5E30", 100},
        {"2.9e1000", 3323},
        {"0x1p5000", 5000},
        {"0", std::nullopt},
        {"-3", std::nullopt},
        {"x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(LevelOfZoom(row.zoom), row.level) << row.zoom;
}

TEST(LocationText, DeepInfoLinesAndFrameShifts) {
    ViewState view;
    view.Depth = 4096;
    view.ColourShift = 12;
    const std::string info = DeepViewInfo(*deep::ReadDyadic("-0.75", 200), *deep::ReadDyadic("0.1", 200), 129, 200,
                                          view);
    EXPECT_EQ(info.substr(0, info.find('\n')).substr(0, 15), "centre: -0.75 0");
    EXPECT_NE(info.find("\nlevel: 129\nstep: 0x1p-136\ndepth: 4096\npalette: 0x1007\nshift: 12\n"), std::string::npos)
        << info;
    // 0.1 is no multiple of 2^-200, but the shortest decimal that reads back
    // to its nearest one is 0.1 again, not the 200 digits of its exact value.
    EXPECT_EQ(info.substr(0, info.find('\n')), "centre: -0.75 0.1");
    EXPECT_GT(deep::DecimalText(*deep::ReadDyadic("0.1", 200)).size(), 150u);

    // Each frame block tells the counts added to its colours.
    ViewState shallow;
    InstallHomeView(shallow);
    shallow.ZoomLevel = 4;
    shallow.PixelStep = 0x1p-11L;
    const std::string frames = ZoomFramesInfo(shallow, 1, 2, 2, 2.5);
    EXPECT_NE(frames.find("frame shift: 2.5\n\nframe: 2\n"), std::string::npos) << frames;
    EXPECT_TRUE(frames.ends_with("frame shift: 5\n")) << frames;
    EXPECT_EQ(ZoomFramesInfo(shallow, 1, 2, 2).find("frame shift"), std::string::npos);
    // Level 0 prints the home view, the view that is drawn.
    ViewState scrolled = shallow;
    scrolled.ZoomLevel = 0;
    scrolled.PixelStep = HomeView.PixelStep;
    scrolled.OriginRe = -1.5L;
    EXPECT_EQ(ViewInfo(scrolled).rfind("shown: the home view", 0), 0u);
    EXPECT_NE(ViewInfo(scrolled).find("\norigin: -2 2\ncentre: 0 0\n"), std::string::npos) << ViewInfo(scrolled);
}

}  // namespace
}  // namespace qarn::render
