// The command line as qarn-render reads it, in-process: usage errors, and
// the values and file names taken exactly as given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_formats.h"
#include "render_options.h"

namespace qarn::render {
namespace {

// Splits at spaces, as a shell would for these simple arguments.
ParsedCommandLine Parse(const std::string& args) {
    std::vector<std::string> words{"qarn-render"};
    for (std::size_t at = 0; at < args.size();) {
        const std::size_t space = args.find(' ', at);
        const std::size_t end = space == std::string::npos ? args.size() : space;
        if (end > at) words.push_back(args.substr(at, end - at));
        at = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    return ParseRenderOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(RenderOptions, UsageErrorsNameTheirOption) {
    // Each a usage error with the usage printed; where an option is named,
    // the first line names it.
    const struct {
        const char* args;
        const char* option;
    } errors[] = {
        {"--bogus", "--bogus"},
        {"a.qarn b.qarn", ""},
        {"--threads 0", "--threads"},
        {"--threads x", "--threads"},
        {"-o", "-o"},
        {"--counts", "--counts"},
        {"--scale 0", "--scale"},
        {"--scale 65", "--scale"},
        {"--scale 2 -o big.bmp", "big.bmp"},
        {"-o out.jpg", "out.jpg"},
        {"--at 1", "--at"},
        {"--at 1 2", "--level"},
        {"--level 3", "--level"},
        {"--at x 2 --level 3", "--at"},
        {"--at 0 0 --origin 0 0 --level 1", "--origin"},
        {"--origin 0 0 --level 57", "--origin"},
        {"a.qarn --origin 0 0 --level 1", "--origin"},
        {"--at 0 0 --level x", "--level"},
        {"--palette 0xZZ", "--palette"},
        {"--zoom-frames 0 f", "--zoom-frames"},
        {"--zoom-frames 10000 f", "--zoom-frames"},
        {"--zoom-frames 5", "--zoom-frames"},
        {"--size 513x512", "--size"},
        {"--size 0x2", "--size"},
        {"--size 65538x2", "--size"},
        {"--size 64", "--size"},
        {"--size 64x-2", "--size"},
        {"--size 600x400 -o x.bmp", "--size"},
        {"--supersample 0", "--supersample"},
        {"--supersample 9", "--supersample"},
        {"--supersample 2 -o x.bmp", "--supersample"},
        {"--size 65536x65536 --supersample 3", "--size"},  // 2^34 points at most
        {"--frames 1-2", "--frames"},
        {"--zoom-frames 4 f --frames 3-2", "--frames"},
        {"--zoom-frames 4 f --frames 0-5", "--frames"},
        {"--zoom-frames 4 f --frames 2", "--frames"},
        {"--colouring soft", "--colouring"},
        {"--period 4", "--period"},
        {"--gradient g.txt --period 0", "--period"},
        {"--gradient g.txt --period -1", "--period"},
        {"--gradient g.txt --period x", "--period"},
        {"--format exr", "--format"},
        {"--zoom-frames 4 f --format bmp", "--format"},
        {"--zoom-frames 4 f --format tif", "--format"},
        {"--zoom-frames 4 f --format .png", "--format"},
        {"--zoom-frames 4 f --format x.png", "--format"},
        {"--shift-per-frame 1", "--shift-per-frame"},
        {"--zoom-frames 4 f --shift-per-frame x", "--shift-per-frame"},
        {"--zoom-frames 4 f --shift-per-frame inf", "--shift-per-frame"},
        {"--continuous", "--continuous"},
        {"--tolerance coarse", "--tolerance"},
        {"--tolerance 1e-3", "--tolerance"},
        {"--tolerance 5.42e-20", "--tolerance"},
        {"--tolerance 0", "--tolerance"},
        {"--tolerance -1e-10", "--tolerance"},
        {"--tolerance nan", "--tolerance"},
        {"--tolerance", "--tolerance"},
    };
    for (const auto& row : errors) {
        const ParsedCommandLine parsed = Parse(row.args);
        EXPECT_FALSE(parsed.options) << row.args;
        EXPECT_EQ(parsed.exitCode, 1) << row.args;
        EXPECT_NE(parsed.err.find("usage:"), std::string::npos) << row.args;
        EXPECT_NE(parsed.err.substr(0, parsed.err.find('\n')).find(row.option), std::string::npos)
            << row.args << ": " << parsed.err;
    }
    const ParsedCommandLine help = Parse("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--zoom-frames"), std::string::npos);
}

// The help names every format of the table: each extension for -o, and the
// formats of the frames for --format; the choices left open take the
// table's first format that holds the picture.
TEST(RenderOptions, HelpAndDefaultsFollowTheFormatTable) {
    const std::string help = Parse("--help").out;
    std::string frameKeywords;
    for (const OutputFormat& format : OutputFormats()) {
        EXPECT_NE(help.find("OUT" + std::string(format.extension)), std::string::npos) << format.name;
        if (!format.HoldsFrames()) continue;
        frameKeywords += (frameKeywords.empty() ? "" : "|") + std::string(format.Keyword());
        const std::string upper = format.Keyword() == "png" ? "PNG" : "EXR";
        const ParsedCommandLine parsed = Parse("--zoom-frames 2 f --format " + upper);
        ASSERT_TRUE(parsed.options) << parsed.err;
        EXPECT_EQ(parsed.options->frameFormat, format.format) << "any case";
    }
    EXPECT_NE(help.find("--format " + frameKeywords), std::string::npos) << frameKeywords;
    EXPECT_EQ(FormatOfKeyword("png")->format, PictureFormat::Png);
    EXPECT_EQ(FormatOfKeyword(".png"), nullptr);

    EXPECT_EQ(Parse("--zoom-frames 2 f").options->frameFormat, DefaultFrameFormat().format);
    EXPECT_EQ(DefaultFrameFormat().format, PictureFormat::Png);
    EXPECT_EQ(DefaultFormat(true).format, PictureFormat::Bitmap);
    EXPECT_EQ(DefaultFormat(false).format, PictureFormat::Png);
    // A count and mu for each pixel only where a pixel is one point.
    EXPECT_TRUE(FormatEntry(PictureFormat::Exr).CarriesData(1));
    EXPECT_FALSE(FormatEntry(PictureFormat::Exr).CarriesData(2));
    EXPECT_FALSE(FormatEntry(PictureFormat::Png).CarriesData(1));
}

TEST(RenderOptions, ValuesAndNamesAreTakenAsGiven) {
    // A name that begins like a negative real stays the name given.
    const ParsedCommandLine names = Parse("-o -.5.png --counts -.25.u32 --save -x.qarn --size 64x64");
    ASSERT_TRUE(names.options) << names.err;
    EXPECT_EQ(*names.options->pictureFile, "-.5.png");
    EXPECT_EQ(*names.options->countsFile, "-.25.u32");
    EXPECT_EQ(*names.options->saveFile, "-x.qarn");
    // A negative real without its leading zero is the same real.
    const ParsedCommandLine reals = Parse("--at -.75 -.5e-1 --level 2 --info");
    ASSERT_TRUE(reals.options) << reals.err;
    EXPECT_EQ(reals.options->at->re, -0.75L);
    EXPECT_EQ(reals.options->at->im, -0.05L);
    EXPECT_FALSE(reals.options->pictureFile) << "--info alone writes no picture";

    // Without -o: the view file's name, .bmp for the window's picture, .png
    // for any other.
    const struct {
        const char* args;
        const char* picture;
    } defaults[] = {{"", "qarn.bmp"},
                    {"dir/view.qarn", "dir/view.bmp"},
                    {"view.qarn --scale 2", "view.png"},
                    {"--size 64x32", "qarn.png"},
                    {"--supersample 2", "qarn.png"}};
    for (const auto& row : defaults) {
        const ParsedCommandLine parsed = Parse(row.args);
        ASSERT_TRUE(parsed.options) << row.args << ": " << parsed.err;
        EXPECT_EQ(parsed.options->pictureFile.value_or(""), row.picture) << row.args;
    }
    const ParsedCommandLine frames = Parse("--zoom-frames 9 out --frames 3-7 --scale 2 --size 100x50");
    ASSERT_TRUE(frames.options) << frames.err;
    EXPECT_FALSE(frames.options->pictureFile);
    const ZoomFramesOption& zoom = *frames.options->zoomFrames;
    EXPECT_EQ((std::vector<int>{zoom.count, zoom.first, zoom.last}), (std::vector<int>{9, 3, 7}));
    EXPECT_EQ(zoom.folder, "out");
    EXPECT_EQ((std::vector<int>{frames.options->width, frames.options->height}), (std::vector<int>{100, 50}));

    // --tolerance: fine (the default), fast, or a real from fine's to fast's.
    const struct {
        const char* args;
        long double epsilon;
    } tolerances[] = {{"", deep::FineTolerance.epsilon},
                      {"--tolerance fine", deep::FineTolerance.epsilon},
                      {"--tolerance fast", deep::FastTolerance.epsilon},
                      {"--tolerance 1e-12", 1e-12L},
                      {"--tolerance 5.43e-20", 5.43e-20L},
                      {"--tolerance 1.49e-8", 1.49e-8L}};
    for (const auto& row : tolerances) {
        const ParsedCommandLine parsed = Parse(row.args);
        ASSERT_TRUE(parsed.options) << row.args << ": " << parsed.err;
        EXPECT_EQ(parsed.options->tolerance.epsilon, static_cast<long double>(static_cast<double>(row.epsilon)))
            << row.args;
    }

    const ParsedCommandLine colours = Parse(
        "--colouring smooth --gradient -.g --period 2.5 --continuous -.f64 --zoom-frames 3 f --format exr "
        "--shift-per-frame -.25");
    ASSERT_TRUE(colours.options) << colours.err;
    EXPECT_TRUE(colours.options->smooth);
    EXPECT_EQ(*colours.options->gradientFile, "-.g");
    EXPECT_EQ(*colours.options->period, 2.5);
    EXPECT_EQ(*colours.options->continuousFile, "-.f64");
    EXPECT_EQ(colours.options->frameFormat, PictureFormat::Exr);
    EXPECT_EQ(colours.options->shiftPerFrame, -0.25);
    const ParsedCommandLine plain = Parse("-o a.exr");
    ASSERT_TRUE(plain.options) << plain.err;
    EXPECT_FALSE(plain.options->smooth);
    EXPECT_EQ(plain.options->shiftPerFrame, 0.0);
}

}  // namespace
}  // namespace qarn::render
