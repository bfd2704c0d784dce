#include "colour/gradient.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace qarn {
namespace {

std::string PaletteText(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += std::to_string(i & 255) + " " + std::to_string((255 - i) & 255) + " " + std::to_string((i / 2) & 255) +
                "\n";
    return text;
}

TEST(Gradient, StopsAndComments) {
    Gradient gradient;
    ASSERT_EQ(ParseGradient("# sunset\n\n0 #000000\n 0.5\t#FF8000  # orange\r\n0.5 #ff8001\n1 #FFFFFF", gradient), "");
    ASSERT_EQ(gradient.stops.size(), 4u);
    EXPECT_EQ(gradient.stops[1].position, 0.5);
    EXPECT_EQ(gradient.stops[1].colour, 0xFF8000u);
    EXPECT_EQ(gradient.stops[2].colour, 0xFF8001u);
    EXPECT_EQ(gradient.stops[3].position, 1.0);
}

TEST(Gradient, PaletteFileEntriesStandAtIOver256) {
    Gradient gradient;
    std::string text = PaletteText(256);
    text.insert(text.find('\n'), "  the first colour");
    ASSERT_EQ(ParseGradient(text, gradient), "");
    ASSERT_EQ(gradient.stops.size(), 256u);
    EXPECT_EQ(gradient.stops[0].colour, 0x00FF00u);
    EXPECT_EQ(gradient.stops[255].position, 255.0 / 256);
    EXPECT_EQ(gradient.stops[255].colour, 0xFF007Fu);
}

TEST(Gradient, MalformedFilesNameTheLineAndTheFault) {
    struct Row {
        std::string text;
        const char* error;
    };
    const Row rows[] = {
        {"", "line 0: holds no colours"},
        {"# only a comment\n\n", "line 0: holds no colours"},
        {"0 #000000\n0.5 #12345\n", "line 2: needs POSITION #RRGGBB; \"#12345\" is no #RRGGBB colour"},
        {"0 #000000\n0.5 #12345G\n", "line 2: needs POSITION #RRGGBB"},
        {"0 #000000\nhalf #123456\n", "line 2: the position \"half\" is not a decimal real"},
        {"0 #000000\n1.5 #123456\n", "line 2: the position \"1.5\" lies outside 0 to 1"},
        {"0 #000000\n-0.1 #123456\n", "line 2: the position \"-0.1\" lies outside 0 to 1"},
        {"0.5 #000000\n0.25 #123456\n", "line 2: the position \"0.25\" lies below the one before"},
        {"0 #000000 red\n", "line 1: \"red\" after the colour"},
        {"nan #000000\n", "line 1: the position \"nan\" is not a decimal real"},
        {PaletteText(255), "line 255: a palette file holds 256 colours; this one 255"},
        {PaletteText(257), "line 257: a palette file holds 256 colours; this is one more"},
        {"1 2 3\n4 5 256\n", "line 2: needs three values R G B from 0 to 255; \"256\" is none"},
        {"1 2 3\n4 5\n", "line 2: needs three values R G B from 0 to 255; \"\" is none"},
        {"1 2 3x\n", "line 1: needs three values R G B"},
        {std::string("0 #000000\n\0 #000000\n", 20), "line 2: holds a zero byte"},
        {std::string(MaxGradientBytes + 1, ' '), "line 0: longer than 1 MiB"},
    };
    for (const Row& row : rows) {
        Gradient gradient;
        const std::string error = ParseGradient(row.text, gradient);
        EXPECT_TRUE(error.starts_with(row.error)) << error << "\n  expected " << row.error;
        EXPECT_TRUE(gradient.stops.empty());
    }
}

TEST(Gradient, TooManyStops) {
    std::string text;
    for (std::size_t i = 0; i <= MaxGradientStops; ++i) text += "0 #000000\n";
    Gradient gradient;
    EXPECT_EQ(ParseGradient(text, gradient), "line 65537: more than 65536 stops");
}

TEST(Gradient, LoadNamesTheFile) {
    const std::string path = (std::filesystem::temp_directory_path() / "qarn_gradient_test.txt").string();
    { std::ofstream(path) << "0 #000000\n2 #FFFFFF\n"; }
    Gradient gradient;
    EXPECT_EQ(LoadGradient(path, gradient), path + ": line 2: the position \"2\" lies outside 0 to 1");
    { std::ofstream(path) << ""; }
    EXPECT_EQ(LoadGradient(path, gradient), path + ": holds no colours");
    std::filesystem::remove(path);
    EXPECT_EQ(LoadGradient(path, gradient), path + ": cannot be read");
}

}  // namespace
}  // namespace qarn
