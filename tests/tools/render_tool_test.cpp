// Runs the built qarn-render as a user would and checks its files with
// independent readers: the engine's reference pass, ImageMagick for the
// bitmap, and the tests' own PNG reader (png_pixels.h), which compares
// pixels, not bytes: those depend on the compressor's build.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <half.h>

#include "colour/linear_light.h"
#include "colour/palette_tables.h"
#include "colour/smooth_colour.h"
#include "engine/arithmetic_mode.h"
#include "engine/continuous_count.h"
#include "engine/escape_count.h"
#include "engine/strip_plan.h"
#include "persistence/coordinate_file.h"
#include "tools/png_pixels.h"
#include "support/views.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes RecordOf(const ViewState& view) {
    const auto record = EncodeViewState(view);
    return Bytes(record.begin(), record.end());
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps test runs of several worktrees apart.
        dir = fs::temp_directory_path() /
              ("qarn-render-test-" + std::to_string(getpid()) + "-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool (or another program) in the test's folder; returns its
    // exit code.
    int Run(const std::string& args, const std::string& program = "'" QARN_RENDER_PATH "'") {
        const std::string command = "cd '" + dir.string() + "' && " + program + " " + args +
                                    " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Stderr() {
        const Bytes bytes = ReadAll(dir / "stderr.txt");
        return std::string(bytes.begin(), bytes.end());
    }
    // The `key: value` lines of --info.
    std::map<std::string, std::string> Info() {
        std::map<std::string, std::string> info;
        std::ifstream in(dir / "stdout.txt");
        for (std::string line; std::getline(in, line);) {
            const auto colon = line.find(": ");
            if (colon != std::string::npos) info[line.substr(0, colon)] = line.substr(colon + 2);
        }
        return info;
    }
    // A picture's pixels, decoded here: red, green, blue, top row first. A
    // PNG by the tests' own reader; a bitmap (whose layout the start-up test
    // checks with ImageMagick) by its header's offset, size and bottom-up rows.
    Bytes Decoded(const std::string& name) {
        const Bytes file = ReadAll(dir / name);
        if (name.ends_with(".png")) {
            testing::PngPixels png = testing::DecodePng(file);
            EXPECT_EQ(png.error, "") << name;
            return png.rgb;
        }
        auto le32 = [&](std::size_t at) {
            std::uint32_t v;
            std::memcpy(&v, &file[at], 4);
            return v;
        };
        if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || le32(28) % 65536 != 24) {
            ADD_FAILURE() << name << " is not a 24-bit bitmap";
            return {};
        }
        const std::size_t offset = le32(10), width = le32(18), height = le32(22), stride = (width * 3 + 3) / 4 * 4;
        if (offset + stride * height > file.size()) {
            ADD_FAILURE() << name << " is cut short";
            return {};
        }
        Bytes rgb;
        for (std::size_t row = height; row-- > 0;)
            for (std::size_t col = 0; col < width; ++col) {
                const std::uint8_t* bgr = &file[offset + row * stride + col * 3];
                rgb.insert(rgb.end(), {bgr[2], bgr[1], bgr[0]});
            }
        return rgb;
    }
    std::vector<double> Doubles(const fs::path& path) {
        const Bytes bytes = ReadAll(path);
        std::vector<double> values(bytes.size() / 8);
        std::memcpy(values.data(), bytes.data(), values.size() * 8);
        return values;
    }
    std::vector<std::uint32_t> Counts(const fs::path& path) {
        const Bytes bytes = ReadAll(path);
        std::vector<std::uint32_t> counts(bytes.size() / 4);
        std::memcpy(counts.data(), bytes.data(), counts.size() * 4);
        return counts;
    }
    static std::vector<std::uint32_t> Reference(const ViewState& view) {
        auto counts = std::make_unique<IterationBuffer>();
        ComputeRowsReference(view, *counts, -ViewSize);
        return std::vector<std::uint32_t>(counts->begin(), counts->end());
    }
    // Files the tool left behind, besides its captured output.
    std::vector<std::string> Outputs() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "stdout.txt" && name != "stderr.txt" && name.rfind("in-", 0) != 0) names.push_back(name);
        }
        return names;
    }

    // The names in a folder, sorted.
    static std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Each file in `folder` is a whole frame: named as a frame, and the same
    // bytes as that frame of an uninterrupted run of `frames` into `whole`
    // (made here for the frames found). Returns how many there are.
    std::size_t ExpectWholeFrames(const std::string& folder, const std::string& frames) {
        const std::vector<std::string> names = Names(dir / folder);
        if (names.empty()) return 0;
        const int last = std::stoi(names.back().substr(6, 4));
        EXPECT_EQ(Run(frames + " whole --frames 0-" + std::to_string(last)), 0) << Stderr();
        for (const std::string& name : names) {
            EXPECT_TRUE(name.size() == 14 && name.rfind("frame-", 0) == 0 &&
                        (name.ends_with(".png") || name.ends_with(".exr")))
                << name << " is not a frame";
            EXPECT_EQ(ReadAll(dir / folder / name), ReadAll(dir / "whole" / name)) << name;
        }
        return names.size();
    }

    // A 48 KiB tmpfs at dir/small, unmounted when the result goes; none where
    // it cannot be mounted (it takes root).
    struct SmallDisk {
        fs::path at;
        ~SmallDisk() { std::system(("umount '" + at.string() + "'").c_str()); }
    };
    std::unique_ptr<SmallDisk> MountSmallDisk() {
        fs::create_directory(dir / "small");
        if (Run("mount -t tmpfs -o size=48k qarn-render-test small", "") != 0) return nullptr;
        auto disk = std::make_unique<SmallDisk>();
        disk->at = dir / "small";
        return disk;
    }

    fs::path dir;
};

TEST_F(RenderTool, StartUpViewCountsAndBitmapReadBackByImageMagick) {
    ASSERT_EQ(Run("-o start.bmp --counts start.u32"), 0) << Stderr();
    const auto counts = Counts(dir / "start.u32");
    ASSERT_EQ(counts, Reference(testing::HomeViewState(512)));
    const Bytes bmp = ReadAll(dir / "start.bmp");
    ASSERT_EQ(bmp.size(), 786486u);

    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    const std::string convert = "cd '" + dir.string() + "' && convert start.bmp -depth 8 rgb:start.rgb";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    const Bytes rgb = ReadAll(dir / "start.rgb");  // top row first, red, green, blue
    ASSERT_EQ(rgb.size(), 512u * 512u * 3u);
    ColourTable table;
    BuildColourTable(table);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const std::uint32_t count = counts[i];
        const std::uint32_t colour = (count == 0 || count >= 512) ? 0 : table[count & 4095];
        ASSERT_EQ(rgb[3 * i], colour >> 16 & 0xFF) << "pixel " << i;
        ASSERT_EQ(rgb[3 * i + 1], colour >> 8 & 0xFF) << "pixel " << i;
        ASSERT_EQ(rgb[3 * i + 2], colour & 0xFF) << "pixel " << i;
    }
}

TEST_F(RenderTool, ThreadCountDoesNotChangeTheFiles) {
    ASSERT_EQ(Run("-o one.bmp --counts one.u32 --threads 1"), 0) << Stderr();
    ASSERT_EQ(Run("-o all.bmp --counts all.u32"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "one.bmp"), ReadAll(dir / "all.bmp"));
    EXPECT_EQ(ReadAll(dir / "one.u32"), ReadAll(dir / "all.u32"));
    // Without a view file or -o the bitmap is qarn.bmp.
    ASSERT_EQ(Run(""), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "qarn.bmp"), ReadAll(dir / "all.bmp"));
}

TEST_F(RenderTool, LoadedViewIsComputedAtItsOwnLevel) {
    ViewState view = testing::ViewAround(-0.75L, 0.1L, 9, 1024);
    view.PaletteMode = 256 + 6;
    WriteAll(dir / "in-deep.qarn", RecordOf(view));
    ASSERT_EQ(Run("in-deep.qarn --counts deep.u32"), 0) << Stderr();
    EXPECT_EQ(Counts(dir / "deep.u32"), Reference(view));
    EXPECT_EQ(fs::file_size(dir / "in-deep.bmp"), 786486u) << "the default name is the view's, with .bmp";

    // Level 0 loads as the home view, wherever the file's origin lay.
    ViewState scrolled = testing::HomeViewState(512);
    scrolled.OriginRe += 0.5L;
    WriteAll(dir / "in-level0.qarn", RecordOf(scrolled));
    ASSERT_EQ(Run("in-level0.qarn --counts level0.u32"), 0) << Stderr();
    EXPECT_EQ(Counts(dir / "level0.u32"), Reference(testing::HomeViewState(512)));
}

TEST_F(RenderTool, BadInputIsRefusedOrGivesAWellDefinedPicture) {
    const Bytes good = RecordOf(testing::ViewAround(-0.5L, 0.0L, 5, 512));
    auto with = [&](std::size_t at, std::uint32_t value) {
        Bytes bytes = good;
        std::memcpy(bytes.data() + at, &value, 4);
        return bytes;
    };
    const Bytes palette5 = with(34, 5);
    const Bytes legacy5(palette5.begin(), palette5.begin() + 42);
    ASSERT_EQ(Run("-o in-bitmap.bmp"), 0);
    fs::create_directory(dir / "in-folder.qarn");

    struct Refusal {
        const char* name;
        Bytes bytes;  // none written for the directory and the missing file
        const char* reason;
    };
    const Refusal refusals[] = {
        {"in-empty.qarn", {}, "size"},
        {"in-45.qarn", Bytes(good.begin(), good.end() - 1), "size"},
        {"in-47.qarn",
         [&] {
             Bytes b = good;
             b.push_back(1);
             return b;
         }(),
         "size"},
        {"in-bitmap.bmp", {}, "size"},
        {"in-level57.qarn", with(30, 57), "zoom level"},
        {"in-level-1.qarn", with(30, 0xFFFFFFFFu), "zoom level"},
        {"in-depth4097.qarn", with(42, 4097), "depth"},
        {"in-depthmax.qarn", with(42, 0xFFFFFFFFu), "depth"},
        {"in-legacy5.qarn", legacy5, "palette number"},
        {"in-folder.qarn", {}, "directory"},
        {"in-missing.qarn", {}, "no such file"},
    };
    for (const Refusal& r : refusals) {
        if (!r.bytes.empty() || std::string(r.name) == "in-empty.qarn") WriteAll(dir / r.name, r.bytes);
        EXPECT_EQ(Run(std::string(r.name) + " -o out.bmp --counts out.u32"), 2) << r.name;
        const std::string message = Stderr();
        EXPECT_NE(message.find(r.reason), std::string::npos) << r.name << ": " << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << r.name << ": one line";
        EXPECT_TRUE(Outputs().empty()) << r.name << " left a file behind";
    }

    // Damaged reals compute a well-defined picture, quickly.
    ViewState damaged = testing::ViewAround(-0.5L, 0.0L, 5, 4096);
    damaged.OriginRe = std::numeric_limits<long double>::quiet_NaN();
    WriteAll(dir / "in-nan.qarn", RecordOf(damaged));
    ASSERT_EQ(Run("in-nan.qarn -o nan.bmp --counts nan.u32"), 0) << Stderr();
    for (std::uint32_t count : Counts(dir / "nan.u32")) ASSERT_EQ(count, 0u) << "NaN never escapes";
    EXPECT_EQ(fs::file_size(dir / "nan.bmp"), 786486u);

    damaged.OriginRe = -0.5L;
    damaged.OriginIm = std::numeric_limits<long double>::infinity();
    WriteAll(dir / "in-inf.qarn", RecordOf(damaged));
    ASSERT_EQ(Run("in-inf.qarn -o inf.bmp --counts inf.u32"), 0) << Stderr();
    for (std::uint32_t count : Counts(dir / "inf.u32")) ASSERT_EQ(count, 1u) << "an infinite c escapes at once";
}

// The parsing itself is tested in-process; here the process's side: exit
// codes, the usage on standard error, and no file made.
TEST_F(RenderTool, UsageErrors) {
    for (const char* args :
         {"--bogus", "-o out.jpg", "--size 513x512", "--at 0 1 --level 60 --tolerance 1e-3 -o x.png"}) {
        EXPECT_EQ(Run(args), 1) << args;
        EXPECT_NE(Stderr().find("usage:"), std::string::npos) << args;
    }
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_TRUE(Outputs().empty());
}

// A render of a few seconds (a deep view where no orbit repeats, depth 4096,
// one thread) shows a progress bar only when standard error is a terminal.
TEST_F(RenderTool, ProgressBarOnlyOnATerminal) {
    WriteAll(dir / "in-slow.qarn", RecordOf(testing::ViewAround(-0.7436438870371587L, 0.1318259042053119L, 50, 4096)));
    ASSERT_EQ(Run("in-slow.qarn -o quiet.bmp --threads 1"), 0) << Stderr();
    EXPECT_EQ(Stderr(), "") << "standard error is a file here";

    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
    const std::string command = "cd '" + dir.string() +
                                "' && script -qec \"'" QARN_RENDER_PATH
                                "' in-slow.qarn -o shown.bmp --threads 1\" /dev/null >terminal.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes bytes = ReadAll(dir / "terminal.txt");
    const std::string terminal(bytes.begin(), bytes.end());
    EXPECT_NE(terminal.find("rendering ["), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("%"), std::string::npos) << terminal;
    EXPECT_EQ(ReadAll(dir / "shown.bmp"), ReadAll(dir / "quiet.bmp"));

    // A deep view's reference orbit of 4 million iterations (about 2 s at
    // 1311 bits) shows on the bar before its rows.
    const std::string deep = "cd '" + dir.string() +
                             "' && script -qec \"'" QARN_RENDER_PATH
                             "' --at 0 1 --level 1000 --depth 4000000 --size 4x4 --counts deep.u32 -o deep.png "
                             "--threads 1\" /dev/null >deep.txt 2>&1";
    ASSERT_EQ(std::system(deep.c_str()), 0);
    const Bytes deepBytes = ReadAll(dir / "deep.txt");
    const std::string deepTerminal(deepBytes.begin(), deepBytes.end());
    EXPECT_NE(deepTerminal.find("reference orbit ["), std::string::npos) << deepTerminal;
}

// Settings given as text are checked as a file's values are.
TEST_F(RenderTool, RefusedSettings) {
    const struct {
        const char* args;
        const char* reason;
    } refusals[] = {
        {"--depth 1000", "depth"},
        {"--depth -1", "depth"},
        {"--palette 0x1107", "palette size"},
        {"--shift 4097", "shift"},
        {"--shift -1", "shift"},
        {"--at 0 0 --level 1000001", "zoom level"},
        {"--at inf 0 --level 57", "finite numbers"},
        {"--at 0 0 --level 57", "levels 0 to 56"},  // what a coordinate file holds
        {"--origin 0 0 --level -1", "zoom level"},
        {"--at 0 1 --level 60 --depth 0", "depth"},
        {"--at 0 1 --level 60 --depth 2147483648", "depth"},
    };
    for (const auto& r : refusals) {
        EXPECT_EQ(Run(std::string(r.args) + " -o out.png --save out.qarn"), 2) << r.args;
        const std::string message = Stderr();
        EXPECT_NE(message.find(r.reason), std::string::npos) << r.args << ": " << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << r.args << ": one line";
        EXPECT_TRUE(Outputs().empty()) << r.args << " left a file behind";
    }
}

// A PNG of a 512 view holds exactly the pixels of the viewer's bitmap.
TEST_F(RenderTool, PngHoldsTheBitmapsPixels) {
    ViewState view = testing::ViewAround(-0.5L, 0.5L, 3, 1024);
    view.PaletteMode = 256 + 6;
    view.ColourShift = 100;
    WriteAll(dir / "in-mono.qarn", RecordOf(view));
    ASSERT_EQ(Run("in-mono.qarn -o mono.bmp"), 0) << Stderr();
    ASSERT_EQ(Run("in-mono.qarn -o mono.png"), 0) << Stderr();
    ASSERT_EQ(Run("in-mono.qarn --size 512x512 -o sized.png"), 0) << Stderr();
    const Bytes bitmap = Decoded("mono.bmp");
    ASSERT_EQ(bitmap.size(), 512u * 512u * 3u);
    EXPECT_TRUE(Decoded("mono.png") == bitmap);
    // The pixels first, so that a failure tells a picture that differs from
    // a compression that does.
    EXPECT_TRUE(Decoded("sized.png") == bitmap);
    EXPECT_EQ(ReadAll(dir / "sized.png"), ReadAll(dir / "mono.png"));
}

// The passes extended to longer lines, written out again: the step is
// PixelStep / K in 80 bits; the top-left point moves a = (W - 512 K) / 2
// steps left and b = (H - 512 K) / 2 up, each in one product; columns go on
// by one addition of the step each, rows by one subtraction each; each pixel
// is the engine's reference iteration (EscapeCount) of its c.
TEST_F(RenderTool, LargePrintFollowsTheExtendedPasses) {
    constexpr int K = 3;  // PixelStep / 3 is not a power of two: the division and every sum round
    // Wider than the square (a = 32) and lower (b = -168).
    constexpr std::size_t Width = 1600, Height = 1200;
    ViewState view = testing::ViewAround(-0.75L, 0.1L, 9, 1024);
    view.OriginRe += view.PixelStep / 7.0L;  // off the level's grid
    WriteAll(dir / "in-print.qarn", RecordOf(view));
    ASSERT_EQ(Run("in-print.qarn --scale 3 --size 1600x1200 -o print.png --counts print.u32"), 0) << Stderr();
    const auto counts = Counts(dir / "print.u32");
    ASSERT_EQ(counts.size(), Width * Height);

    SetArithmeticMode();
    const long double step = view.PixelStep / static_cast<long double>(K);
    std::vector<long double> re(Width), im(Height);
    long double cr = view.OriginRe - 32.0L * step, ci = view.OriginIm + -168.0L * step;
    for (std::size_t i = 0; i < Width; ++i, cr += step) re[i] = cr;
    for (std::size_t i = 0; i < Height; ++i, ci -= step) im[i] = ci;
    ColourTable table;
    BuildColourTable(table);
    const Bytes rgb = Decoded("print.png");
    ASSERT_EQ(rgb.size(), Width * Height * 3);
    // A sample: every 97th pixel (97 divides neither side, so the sample
    // moves along the rows), and the last row whole.
    auto check = [&](std::size_t i) {
        const std::uint32_t expected = EscapeCount(re[i % Width], im[i / Width], view.Depth);
        ASSERT_EQ(counts[i], expected) << "pixel (" << i % Width << ", " << i / Width << ")";
        const std::uint32_t colour = (expected == 0 || expected >= view.Depth) ? 0 : table[expected & 4095];
        ASSERT_EQ(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2], colour) << "pixel " << i;
    };
    for (std::size_t i = 0; i < Width * Height; i += 97) check(i);
    for (std::size_t i = Width * (Height - 1); i < Width * Height; ++i) check(i);
}

// Each pixel is the mean, in linear light, of the S x S points of the
// picture that --scale K S --size (W S)x(H S) computes. The oracle decodes and
// encodes sRGB with the C library's pow.
TEST_F(RenderTool, SupersampledPixelsAreMeansInLinearLight) {
    constexpr int S = 3, Width = 40, Height = 22;
    WriteAll(dir / "in-edge.qarn", RecordOf(testing::ViewAround(-0.75L, 0.1L, 6, 512)));
    ASSERT_EQ(Run("in-edge.qarn --scale 2 --size 40x22 --supersample 3 -o smooth.png --counts smooth.u32"), 0)
        << Stderr();
    ASSERT_EQ(Run("in-edge.qarn --scale 6 --size 120x66 --counts points.u32"), 0) << Stderr();
    const auto counts = Counts(dir / "points.u32");
    ASSERT_EQ(Counts(dir / "smooth.u32"), counts) << "the counts are those of the points";
    const Bytes rgb = Decoded("smooth.png");
    ASSERT_EQ(rgb.size(), std::size_t{Width} * Height * 3);

    ColourTable table;
    BuildColourTable(table);
    auto linear = [](int c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    int coloured = 0;
    for (int row = 0; row < Height; ++row)
        for (int col = 0; col < Width; ++col)
            for (int component = 0; component < 3; ++component) {
                double sum = 0;
                for (int v = 0; v < S; ++v)
                    for (int u = 0; u < S; ++u) {
                        const std::uint32_t count = counts[std::size_t(row * S + v) * Width * S + col * S + u];
                        const std::uint32_t colour = (count == 0 || count >= 512) ? 0 : table[count & 4095];
                        sum += linear(colour >> (16 - 8 * component) & 0xFF);
                    }
                const double mean = sum / (S * S);
                const double encoded = 255 *
                                       (mean <= 0.0031308 ? 12.92 * mean : 1.055 * std::pow(mean, 1 / 2.4) - 0.055);
                const int got = rgb[std::size_t(row * Width + col) * 3 + component];
                coloured += got != 0;
                // A mean within rounding of a boundary may go either way.
                if (std::fabs(encoded - std::floor(encoded) - 0.5) > 1e-6) {
                    ASSERT_EQ(got, std::lround(encoded)) << "pixel (" << col << ", " << row << ") " << component;
                }
            }
    EXPECT_GT(coloured, Width * Height) << "a view with colours in it";
}

// --info, then --origin ... --save, gives back the coordinate file's bytes.
TEST_F(RenderTool, ViewAsTextRoundTrip) {
    auto viewOf = [](long double re, long double im, int level, std::uint32_t depth, std::uint32_t palette,
                     std::int32_t shift) {
        ViewState view;
        view.OriginRe = re;
        view.OriginIm = im;
        view.PixelStep = testing::StepOfLevel(level);
        view.ZoomLevel = level;
        view.Depth = depth;
        view.PaletteMode = palette;
        view.ColourShift = shift;
        return view;
    };
    const ViewState views[] = {
        testing::HomeViewState(512),
        viewOf(-1.5L, 1.9765625L, 0, 512, 0x1007, 0),  // a level-0 view scrolled off home
        [] {
            ViewState v = testing::ViewAround(-0.75L, 0.1L, 1, 1024);
            v.PaletteMode = 0x0107;
            v.ColourShift = 64;
            return v;
        }(),
        [] {
            ViewState v = testing::ViewAround(1.25L, -0.001L, 56, 4096);
            v.PaletteMode = 0x0804;
            v.ColourShift = 4096;
            return v;
        }(),
        viewOf(0.1L, -0.3L, 20, 2048, 0x0207, 1),  // off the level's grid
        viewOf(-0.0L, 1e-30L, 30, 512, 0x0403, 4000),
    };
    for (const ViewState& given : views) {
        WriteAll(dir / "in-view.qarn", RecordOf(given));
        ASSERT_EQ(Run("in-view.qarn --info"), 0) << Stderr();
        EXPECT_TRUE(Outputs().empty()) << "--info alone writes no picture";
        auto info = Info();
        fs::copy_file(dir / "stdout.txt", dir / "place.txt");
        // Level 0 shows the home view wherever the origin lies: --info prints
        // the view that is drawn, and says so.
        ViewState view = given;
        if (given.ZoomLevel == 0) {
            view.OriginRe = -2.0L;
            view.OriginIm = 2.0L;
            EXPECT_EQ(info["shown"].rfind("the home view", 0), 0u) << info["shown"];
            info.erase("shown");
        }
        ASSERT_EQ(info.size(), 7u);
        const long double centreRe = view.OriginRe + 256.0L * view.PixelStep;
        const long double centreIm = view.OriginIm - 256.0L * view.PixelStep;
        std::istringstream centre(info["centre"]);
        std::string re, im;
        centre >> re >> im;
        EXPECT_EQ(std::strtold(re.c_str(), nullptr), centreRe) << info["centre"];
        EXPECT_EQ(std::strtold(im.c_str(), nullptr), centreIm) << info["centre"];
        EXPECT_EQ(std::strtold(info["step"].c_str(), nullptr), view.PixelStep);
        EXPECT_EQ(info["palette"].size(), 6u) << info["palette"];

        ASSERT_EQ(Run("--origin " + info["origin"] + " --level " + info["level"] + " --depth " + info["depth"] +
                      " --palette " + info["palette"] + " --shift " + info["shift"] + " --save out.qarn"),
                  0)
            << Stderr();
        EXPECT_EQ(ReadAll(dir / "out.qarn"), RecordOf(view)) << info["origin"];
        fs::remove(dir / "out.qarn");
        // The --info text itself, given as the view, is the same view.
        ASSERT_EQ(Run("place.txt --save out.qarn"), 0) << Stderr();
        EXPECT_EQ(ReadAll(dir / "out.qarn"), RecordOf(view)) << info["origin"];
        fs::remove(dir / "out.qarn");
        fs::remove(dir / "place.txt");
    }
}

// A deep view's --info text holds every digit of its centre that the grid
// 2^-(7+L+64) needs, and reads back as the same view; the widely shared
// Re/Im/Zoom/Iterations lines are read too.
TEST_F(RenderTool, DeepLocationAsTextRoundTrip) {
    const std::string re =
        "-1.7548776662466927600495088963585286918946066177727931439892839706460806551280810907382270928422503036";
    const std::string im =
        "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001";
    for (const int level : {57, 90, 300, 5000}) {
        const std::string view = "--at " + re + " " + im + " --level " + std::to_string(level) + " --depth 2048";
        ASSERT_EQ(Run(view + " --info"), 0) << Stderr();
        auto info = Info();
        EXPECT_EQ(info["level"], std::to_string(level));
        EXPECT_EQ(info["step"], "0x1p-" + std::to_string(7 + level));
        EXPECT_EQ(info["depth"], "2048");
        EXPECT_EQ(info.count("origin"), 0u);
        const Bytes first = ReadAll(dir / "stdout.txt");
        // Fewer digits than the grid's exact decimal (7 + L + 64 of them), more
        // where the grid is finer than the text.
        const std::string centre = info["centre"];
        const std::size_t digits = centre.size();
        EXPECT_LE(digits, 2 * (0.302 * (7 + level + 64) + 4)) << centre;
        fs::rename(dir / "stdout.txt", dir / "place.txt");
        ASSERT_EQ(Run("place.txt --info"), 0) << Stderr();
        EXPECT_EQ(ReadAll(dir / "stdout.txt"), first) << "read back, the same text";
        // A coordinate file cannot hold it.
        EXPECT_EQ(Run("place.txt --save out.qarn"), 2);
        EXPECT_FALSE(fs::exists(dir / "out.qarn"));
    }
    WriteAll(dir / "shared.txt", [] {
        const std::string text = "Re: -0.75\r\nIm: 0.1\r\nZoom: 1.5E30\r\nIterations: 2048\r\nColorMethod: 7\r\n";
        return Bytes(text.begin(), text.end());
    }());
    ASSERT_EQ(Run("shared.txt --info"), 0) << Stderr();
    auto info = Info();
    EXPECT_EQ(info["centre"], "-0.75 0.1");
    EXPECT_EQ(info["level"], "100");  // log2 1.5e30 = 100.2
    EXPECT_EQ(info["depth"], "2048");
    // --find-minibrot prints the view of the period-3 minibrot, which reads
    // back as a view.
    ASSERT_EQ(Run("--at -1.75 0 --level 6 --find-minibrot"), 0) << Stderr();
    info = Info();
    EXPECT_EQ(info["period"], "3");
    EXPECT_EQ(info["centre"].rfind("-1.754877666246692760049", 0), 0u) << info["centre"];
    EXPECT_EQ(info["level"], "6");
    fs::rename(dir / "stdout.txt", dir / "minibrot.txt");
    EXPECT_EQ(Run("minibrot.txt --info"), 0) << Stderr();
    EXPECT_EQ(Run("--at 3 3 --level 6 --find-minibrot"), 2) << "no minibrot there";
    EXPECT_EQ(Run("--at -1.75 0 --level 6 --find-minibrot -o x.png"), 1);
    // Text that is no location is refused in one line.
    for (const char* text : {"centre: 0 0\n", "level: 60\n", "centre: 0\nlevel: 60\n", "Re: 0\nZoom: 1e30\n",
                             "centre: 0 0\nlevel: x\n", "Re: 0\nIm: 0\nZoom: -1\n", "centre: a b\nlevel: 60\n"}) {
        WriteAll(dir / "bad.txt", Bytes(text, text + std::strlen(text)));
        EXPECT_EQ(Run("bad.txt --info"), 2) << text;
        const std::string message = Stderr();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
}

// A deep view renders through the deep loop into the same files as any
// view: the same bytes from one thread and two, supersampled points those of
// the picture at S times the scale, counts below the depth.
TEST_F(RenderTool, DeepViewsRenderIntoTheSameFiles) {
    const std::string view =
        "--at -0.743643887037158704752191506114774 0.131825904205311970493132056385139 "
        "--level 80 --depth 20000 ";
    for (const char* threads : {"1", "2"}) {
        const std::string t = threads;
        ASSERT_EQ(Run(view + "--size 32x24 --counts " + t + ".u32 -o " + t + ".png --continuous " + t +
                      ".f64 --threads " + t),
                  0)
            << Stderr();
        ASSERT_EQ(Run(view + "--size 32x24 --supersample 2 --colouring smooth -o smooth" + t + ".png --counts super" +
                      t + ".u32 --threads " + t),
                  0)
            << Stderr();
        ASSERT_EQ(Run(view + "--size 16x12 --tolerance fast -o fast" + t + ".exr --threads " + t), 0) << Stderr();
    }
    for (const char* name : {".u32", ".png", ".f64"})
        EXPECT_EQ(ReadAll(dir / (std::string("1") + name)), ReadAll(dir / (std::string("2") + name))) << name;
    EXPECT_EQ(ReadAll(dir / "smooth1.png"), ReadAll(dir / "smooth2.png"));
    EXPECT_EQ(ReadAll(dir / "super1.u32"), ReadAll(dir / "super2.u32"));
    EXPECT_EQ(ReadAll(dir / "fast1.exr"), ReadAll(dir / "fast2.exr"));
    EXPECT_EQ(Decoded("1.png").size(), 32u * 24u * 3u);
    EXPECT_EQ(Decoded("smooth1.png").size(), 32u * 24u * 3u);
    const std::vector<std::uint32_t> counts = Counts(dir / "1.u32");
    ASSERT_EQ(counts.size(), 32u * 24u);
    EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](std::uint32_t n) { return n < 20000; }));
    EXPECT_GT(std::set<std::uint32_t>(counts.begin(), counts.end()).size(), 100u) << "a picture, not a flat field";
    const std::vector<double> mu = Doubles(dir / "1.f64");
    ASSERT_EQ(mu.size(), counts.size());
    for (std::size_t k = 0; k < counts.size(); ++k)
        EXPECT_TRUE(counts[k] == 0 ? mu[k] == 0.0 : std::abs(mu[k] - counts[k]) < 2.0) << k;
    // Pixel (i, j)'s S x S points are the points of the picture at S times
    // the scale, at its pixels (S i + a, S j + b).
    ASSERT_EQ(Run(view + "--size 64x48 --scale 2 --counts scaled.u32"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "super1.u32"), ReadAll(dir / "scaled.u32"));
    // The centre's column and row at scale 1 are points of the finer grid.
    const std::vector<std::uint32_t> fine = Counts(dir / "scaled.u32");
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(counts[static_cast<std::size_t>(j * 32 + i)],
                      fine[static_cast<std::size_t>((2 * j) * 64 + 2 * i)])
                << "pixel " << i << ", " << j;
}

// What deep views do not render yet is refused in one line, with no file.
TEST_F(RenderTool, DeepViewsNotRenderedAreRefused) {
    for (const char* args :
         {"--at 0 1 --level 56 --zoom-frames 4 frames --reference r", "--at 0 1 --level 60 --save v.qarn"}) {
        EXPECT_EQ(Run(args), 2) << args;
        const std::string message = Stderr();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << args << ": " << message;
        EXPECT_TRUE(Outputs().empty()) << args << " left a file behind";
    }
    // Past the x87 range, deep views render as the others do.
    EXPECT_EQ(Run("--at 0 1 --level 20000 --depth 20000 --size 8x4 -o x.png"), 0) << Stderr();
    EXPECT_EQ(Outputs(), (std::vector<std::string>{"x.png"}));
    // A zoom there: its frames past level 7800 too, the last one the view.
    ASSERT_EQ(Run("--at 0 1 --level 9000 --depth 20000 --size 8x4 --zoom-frames 3 wide -o wide.png"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "wide/frame-0003.png"), ReadAll(dir / "wide.png"));
}

// A zoom into a deep view: frames at levels up to 56 as today, deeper ones
// by perturbation, every deep frame on one reference orbit, so that ranges
// (with the reference from a file or computed again) give the whole run's
// bytes, and the last frame is the view's picture.
TEST_F(RenderTool, DeepZoomFramesShareOneReference) {
    const std::string at = "--at -0.743643887037158704752191506114774 0.131825904205311970493132056385139 ";
    const std::string view = at + "--level 80 --depth 20000 --size 32x18 ";
    // Frames 0 to 3 at levels 0, 16, 32, 48; 4 and 5 deep (64, 80).
    ASSERT_EQ(Run(view + "--zoom-frames 5 whole --reference ref.orbit -o view.png"), 0) << Stderr();
    ASSERT_TRUE(fs::exists(dir / "ref.orbit"));
    const Bytes orbit = ReadAll(dir / "ref.orbit");
    EXPECT_EQ(ReadAll(dir / "whole/frame-0005.png"), ReadAll(dir / "view.png")) << "the last frame is the view";
    EXPECT_NE(ReadAll(dir / "whole/frame-0004.png"), ReadAll(dir / "whole/frame-0005.png"));
    // Ranges: with the file (read, not written again), and without it.
    ASSERT_EQ(Run(view + "--zoom-frames 5 read --frames 3-5 --reference ref.orbit --threads 1"), 0) << Stderr();
    ASSERT_EQ(Run(view + "--zoom-frames 5 alone --frames 4-4"), 0) << Stderr();
    ASSERT_EQ(Run(view + "--zoom-frames 5 fresh --frames 4-5 --reference fresh.orbit"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "fresh.orbit"), orbit) << "the same orbit's bytes from a range";
    EXPECT_EQ(ReadAll(dir / "ref.orbit"), orbit);
    for (const char* name : {"frame-0003.png", "frame-0004.png", "frame-0005.png"})
        EXPECT_EQ(ReadAll(dir / "read" / name), ReadAll(dir / "whole" / name)) << name;
    EXPECT_EQ(ReadAll(dir / "alone/frame-0004.png"), ReadAll(dir / "whole/frame-0004.png"));
    EXPECT_EQ(ReadAll(dir / "fresh/frame-0005.png"), ReadAll(dir / "whole/frame-0005.png"));
    // A file made for a deeper run serves a shallower one as that run's own.
    ASSERT_EQ(Run(at + "--level 80 --depth 9000 --size 32x18 --zoom-frames 5 less --frames 4-5 --reference ref.orbit"),
              0)
        << Stderr();
    ASSERT_EQ(Run(at + "--level 80 --depth 9000 --size 32x18 --zoom-frames 5 lessown --frames 4-5"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "less/frame-0004.png"), ReadAll(dir / "lessown/frame-0004.png"));

    // Damaged or mismatched files: one line, exit 2, no picture.
    Bytes cut(orbit.begin(), orbit.begin() + static_cast<std::ptrdiff_t>(orbit.size() / 2));
    Bytes flipped = orbit;
    flipped[flipped.size() / 3] ^= 1;
    WriteAll(dir / "cut.orbit", cut);
    WriteAll(dir / "flipped.orbit", flipped);
    WriteAll(dir / "empty.orbit", {});
    const std::string other =
        "--at -0.743643887037158704752191506114773 0.131825904205311970493132056385139 "
        "--level 80 --depth 20000 --size 32x18 ";
    for (const std::string& args :
         {view + "--zoom-frames 5 refused --reference cut.orbit", view + "-o refused.png --reference flipped.orbit",
          view + "--zoom-frames 5 refused --reference empty.orbit",
          other + "--zoom-frames 5 refused --frames 5-5 --reference ref.orbit",
          at + "--level 80 --depth 30000 --size 32x18 -o refused.png --reference ref.orbit",
          at + "--level 90 --depth 20000 --size 32x18 -o refused.png --reference ref.orbit"}) {
        EXPECT_EQ(Run(args), 2) << args;
        const std::string message = Stderr();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << args << ": " << message;
        EXPECT_NE(message.find("--reference"), std::string::npos) << message;
        EXPECT_FALSE(fs::exists(dir / "refused.png")) << args;
        EXPECT_TRUE(!fs::exists(dir / "refused") || fs::is_empty(dir / "refused")) << args;
    }
    EXPECT_EQ(ReadAll(dir / "cut.orbit"), cut) << "a refused file is left as it is";
}

TEST_F(RenderTool, ZoomFramesEndAtTheViewAndResume) {
    WriteAll(dir / "in-view.qarn", RecordOf(testing::ViewAround(-0.75L, 0.1L, 8, 512)));
    ASSERT_EQ(Run("in-view.qarn --zoom-frames 4 frames -o view.png"), 0) << Stderr();
    EXPECT_EQ(Names(dir / "frames"), (std::vector<std::string>{"frame-0000.png", "frame-0001.png", "frame-0002.png",
                                                               "frame-0003.png", "frame-0004.png"}));
    EXPECT_EQ(ReadAll(dir / "frames/frame-0004.png"), ReadAll(dir / "view.png")) << "the last frame is the view";

    // --info shows where the frames are instead of rendering them: frame 2
    // of 4 zooms 8 levels by half, exactly level 4 about the centre, and its
    // block's origin and level give that frame's picture.
    ASSERT_EQ(Run("in-view.qarn --zoom-frames 4 shown --frames 2-2 --info"), 0) << Stderr();
    EXPECT_FALSE(fs::exists(dir / "shown")) << "nothing rendered, no folder made";
    auto info = Info();
    EXPECT_EQ(info["frame"], "2");
    EXPECT_EQ(info["level"], "4");
    EXPECT_EQ(std::strtold(info["step"].c_str(), nullptr), 0x1p-11L);
    ASSERT_EQ(Run("--origin " + info["origin"] + " --level 4 -o level4.png"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "frames/frame-0002.png"), ReadAll(dir / "level4.png"));

    // A whole frame already there is kept (here another frame's bytes, to
    // tell it from one made again); one cut short, as a crash can leave it,
    // and a missing one are made again.
    const Bytes first = ReadAll(dir / "frames/frame-0000.png");
    const Bytes second = ReadAll(dir / "frames/frame-0001.png");
    const Bytes third = ReadAll(dir / "frames/frame-0003.png");
    WriteAll(dir / "frames/frame-0001.png", Bytes(second.begin(), second.begin() + second.size() / 2));
    WriteAll(dir / "frames/frame-0002.png", first);
    fs::remove(dir / "frames/frame-0003.png");
    ASSERT_EQ(Run("in-view.qarn --zoom-frames 4 frames"), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "frames/frame-0001.png"), second) << "the half frame is rendered again";
    EXPECT_EQ(ReadAll(dir / "frames/frame-0002.png"), first) << "a whole frame is kept";
    EXPECT_EQ(ReadAll(dir / "frames/frame-0003.png"), third);
}

// The recipe of the README: GNU parallel runs ranges of one 16:9 sequence
// in several processes (job slots here; --sshlogin spreads them over
// machines), and the frames are those of one whole run, byte for byte.
TEST_F(RenderTool, FrameRangesInParallelJobsEqualOneRun) {
    if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
    WriteAll(dir / "in-view.qarn", RecordOf(testing::ViewAround(-0.75L, 0.1L, 10, 512)));
    const std::string frames = "in-view.qarn --size 96x54 --zoom-frames 12";
    ASSERT_EQ(Run(frames + " whole"), 0) << Stderr();
    ASSERT_EQ(Run("--will-cite --halt now,fail=1 --sshlogin 3/: '" QARN_RENDER_PATH "' " + frames +
                      " shared --threads 1 --frames {} ::: 0-3 4-7 8-12",
                  "parallel"),
              0)
        << Stderr();
    for (int k = 0; k <= 12; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.png", k);
        ASSERT_TRUE(fs::exists(dir / "whole" / name)) << name;
        EXPECT_EQ(ReadAll(dir / "shared" / name), ReadAll(dir / "whole" / name)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shared"), fs::directory_iterator{}), 13);
    // A range alone writes only its frames.
    ASSERT_EQ(Run(frames + " part --frames 5-6"), 0) << Stderr();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "part"), fs::directory_iterator{}), 2);
    EXPECT_EQ(ReadAll(dir / "part/frame-0006.png"), ReadAll(dir / "whole/frame-0006.png"));
}

// Ctrl-C or a hang-up during a range: the frames written are whole, the one
// being written is gone, and the exit shows the signal. The range's later
// frames are deep (18 s on one thread of the 2-core AMD EPYC we test on), the
// first about 1/300 of that, so the signal comes while the range is being
// rendered.
struct Interruption {
    int signal;
    const char* format;  // of the frames
};

class InterruptedRange : public RenderTool, public ::testing::WithParamInterface<Interruption> {};

TEST_P(InterruptedRange, LeavesOnlyWholeFrames) {
    const Interruption interruption = GetParam();
    const std::string format = interruption.format;
    const std::string frames =
        "--at -0.7436438870371587 0.1318259042053119 --level 50 --depth 4096 --size 320x180 "
        "--threads 1 --format " +
        format + " --zoom-frames 50";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const std::string command = "exec '" QARN_RENDER_PATH "' " + frames + " cut --frames 0-50 2>stderr.txt";
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (!fs::exists(dir / ("cut/frame-0000." + format)) && waitpid(child, &status, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(child, interruption.signal);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == interruption.signal) << "status " << status;
    const std::size_t written = ExpectWholeFrames("cut", frames);
    EXPECT_GE(written, 1u);
    EXPECT_LT(written, 51u) << "the range was interrupted";
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedRange,
                         ::testing::Values(Interruption{SIGINT, "png"}, Interruption{SIGHUP, "png"},
                                           Interruption{SIGINT, "exr"}),
                         [](const ::testing::TestParamInfo<Interruption>& param) {
                             return std::string(param.param.signal == SIGINT ? "Int" : "Hup") + param.param.format;
                         });

// A run started with Ctrl-C ignored (a shell script's background job, or
// `trap '' INT`) keeps it ignored: the signal does not stop it. Three deep
// frames of 64 x 36, about a second on one thread; the signal comes once
// the first is written.
TEST_F(RenderTool, IgnoredInterruptionStaysIgnored) {
    const std::string frames =
        "--at -0.7436438870371587 0.1318259042053119 --level 50 --depth 4096 --size 64x36 "
        "--threads 1 --zoom-frames 50";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const std::string command = "trap '' INT; exec '" QARN_RENDER_PATH "' " + frames +
                                    " kept --frames 45-47 2>stderr.txt";
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (!fs::exists(dir / "kept/frame-0045.png") && waitpid(child, &status, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool running = waitpid(child, &status, WNOHANG) == 0;
    if (running) {
        kill(child, SIGINT);
        ASSERT_EQ(waitpid(child, &status, 0), child);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(running) << "the run ended before the signal came: make its frames deeper";
    ASSERT_EQ(Run(frames + " whole --frames 45-47"), 0) << Stderr();
    EXPECT_EQ(Names(dir / "kept"), Names(dir / "whole"));
    for (const std::string& name : Names(dir / "whole"))
        EXPECT_EQ(ReadAll(dir / "kept" / name), ReadAll(dir / "whole" / name)) << name;
}

// A file's bytes reach the disk before its name points at them, and the
// name itself after the move (seen by strace, where it is installed).
TEST_F(RenderTool, FileAndFolderAreSyncedAroundTheMove) {
    if (std::system("command -v strace >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
    if (Run("-o out.png --threads 1",
            "strace -f -qq -e trace=fsync,fdatasync,rename,renameat,renameat2 -o trace.txt '" QARN_RENDER_PATH
            "'") != 0) {
        GTEST_SKIP() << "strace cannot trace here: " << Stderr();
    }
    std::ifstream in(dir / "trace.txt");
    std::vector<std::string> calls;  // fsync, rename, fsync
    for (std::string line; std::getline(in, line);) {
        if (line.find("fsync(") != std::string::npos || line.find("fdatasync(") != std::string::npos)
            calls.push_back("fsync");
        else if (line.find("rename") != std::string::npos && line.find("out.png\"") != std::string::npos)
            calls.push_back("rename");
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"fsync", "rename", "fsync"}));
    EXPECT_TRUE(fs::exists(dir / "out.png"));
}

// Standard output that cannot be written is a failed write, named in one line.
TEST_F(RenderTool, FailedWritesToStandardOutput) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const char* args : {"--info", "--help", "--zoom-frames 3 f --info"}) {
        const std::string command = "cd '" + dir.string() + "' && '" QARN_RENDER_PATH "' " + args +
                                    " >/dev/full 2>stderr.txt";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 3) << args;
        const std::string message = Stderr();
        EXPECT_NE(message.find("standard output"), std::string::npos) << args << ": " << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << args << ": one line";
    }
}

// A full disk during a range: the run fails with the reason, leaving only
// whole frames and nothing beside them. The disk is a 48 KiB tmpfs, which
// holds the range's first few frames of 256 x 144 only.
TEST_F(RenderTool, RangeOnAFullDiskFailsLeavingOnlyWholeFrames) {
    const auto disk = MountSmallDisk();
    if (!disk) GTEST_SKIP() << "a small tmpfs cannot be mounted here (it takes root): " << Stderr();
    const std::string frames = "--at -0.75 0.1 --level 10 --size 256x144 --zoom-frames 12";
    EXPECT_EQ(Run(frames + " small/frames"), 3);
    EXPECT_NE(Stderr().find("No space left on device"), std::string::npos) << Stderr();
    EXPECT_LT(ExpectWholeFrames("small/frames", frames), 13u) << "the range did not fit";
}

// Files of the same names as the one written beside the target are the
// user's: they stay as they are.
TEST_F(RenderTool, WritesBesideTheTargetUnderAFreshName) {
    const Bytes mine{'m', 'i', 'n', 'e'};
    WriteAll(dir / "in-out.bmp.saving", mine);
    WriteAll(dir / "in-out.bmp.saving1", mine);
    ASSERT_EQ(Run("-o in-out.bmp"), 0) << Stderr();
    EXPECT_EQ(fs::file_size(dir / "in-out.bmp"), 786486u);
    EXPECT_EQ(ReadAll(dir / "in-out.bmp.saving"), mine);
    EXPECT_EQ(ReadAll(dir / "in-out.bmp.saving1"), mine);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 5) << "nothing else is left";

    EXPECT_EQ(Run("-o no-folder/out.png"), 3);
    EXPECT_EQ(Run("-o in-dir.png --counts in-out.bmp.saving/x.u32"), 3);
    EXPECT_FALSE(fs::exists(dir / "in-dir.png"));
    EXPECT_TRUE(Outputs().empty()) << "a failed write leaves nothing";
}

// Each point's mu as the engine defines it, from its planned coordinates.
std::vector<double> ReferenceMu(const ViewState& view) {
    SetArithmeticMode();
    StripPlan plan;
    EXPECT_TRUE(PlanRows(view, -ViewSize, plan));
    std::vector<double> mu(PixelCount);
    for (int row = 0; row < ViewSize; ++row)
        for (int col = 0; col < ViewSize; ++col) {
            const long double cr = plan.re[static_cast<std::size_t>(col)];
            const long double ci = plan.im[static_cast<std::size_t>(row)];
            EscapeState state{};
            const std::uint32_t count = EscapeCountWithState(cr, ci, view.Depth, state);
            mu[static_cast<std::size_t>(row * ViewSize + col)] = ContinuousCount(count, state, cr, ci);
        }
    return mu;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST_F(RenderTool, ContinuousCountsAreTheEnginesMuOfEveryPoint) {
    struct Case {
        const char* args;
        ViewState view;
    };
    ViewState neck = testing::NeckView();
    neck.Depth = 512;
    WriteAll(dir / "in-deep.qarn", RecordOf(testing::SpiralView(30, 1024)));
    WriteAll(dir / "in-neck.qarn", RecordOf(neck));
    const Case cases[] = {
        {"", testing::HomeViewState(512)},
        {"in-deep.qarn", testing::SpiralView(30, 1024)},  // 80-bit coordinates
        {"in-neck.qarn", neck},                           // every coordinate a double
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(std::string(c.args) + " --counts n.u32 --continuous mu.f64 --threads 3"), 0) << Stderr();
        const std::vector<std::uint32_t> counts = Counts(dir / "n.u32");
        const std::vector<double> mu = Doubles(dir / "mu.f64");
        ASSERT_EQ(counts, Reference(c.view)) << c.args;
        EXPECT_TRUE(SameBits(mu, ReferenceMu(c.view))) << c.args;
        for (std::size_t i = 0; i < counts.size(); ++i)
            if (counts[i] == 0) {
                ASSERT_EQ(mu[i], 0.0) << i;
            }
    }
}

TEST_F(RenderTool, CountsColouringIsTodaysPicture) {
    for (const char* name : {"a.bmp", "a.png"}) {
        const std::string other = std::string("b") + (name + 1);
        ASSERT_EQ(Run(std::string("-o ") + name), 0) << Stderr();
        ASSERT_EQ(Run("--colouring counts --continuous mu.f64 -o " + other), 0) << Stderr();
        EXPECT_EQ(ReadAll(dir / name), ReadAll(dir / other)) << name;
    }
}

// The picture's colours, read by ImageMagick, against PointColours of the
// points' counts and mu from the tool's own files; supersampled, each pixel
// is the mean in linear light of its points' colours.
TEST_F(RenderTool, SmoothPicturesAreTheirPointsColours) {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    WriteAll(dir / "in-stops.txt", Bytes{'0', ' ', '#', 'f', 'f', '0', '0', '0', '0', '\n', '0',
                                         '.', '5', ' ', '#', '0', '0', '3', '0', 'f', 'f',  '\n'});
    struct Case {
        std::string args;
        int supersample;
        ColouringChoice choice;
    };
    Gradient gradient{{{0.0, 0xFF0000}, {0.5, 0x0030FF}}};
    const Case cases[] = {
        {"--colouring smooth", 1, {.smooth = true}},
        {"--colouring smooth --supersample 2", 2, {.smooth = true}},
        {"--colouring smooth --gradient in-stops.txt --period 7.5",
         1,
         {.smooth = true, .gradient = &gradient, .period = 7.5}},
        {"--gradient in-stops.txt", 1, {.gradient = &gradient, .period = 4096}},
    };
    const ViewState view = testing::ViewAround(-0.75L, 0.1L, 6, 512);
    WriteAll(dir / "in-view.qarn", RecordOf(view));
    // 300 points a row: the colours of a run that keeps no mu are made a
    // piece of a row at a time, the last piece a short one.
    constexpr int Width = 300;
    for (const Case& c : cases) {
        const int s = c.supersample;
        ASSERT_EQ(Run("in-view.qarn --size 300x128 " + c.args + " --counts n.u32 --continuous mu.f64 -o p.png"), 0)
            << Stderr();
        ASSERT_EQ(Run("in-view.qarn --size 300x128 " + c.args + " -o q.png"), 0) << Stderr();
        EXPECT_EQ(Decoded("q.png"), Decoded("p.png")) << c.args;
        const std::vector<std::uint32_t> counts = Counts(dir / "n.u32");
        const std::vector<double> mu = Doubles(dir / "mu.f64");
        const int width = Width * s;
        ASSERT_EQ(counts.size(), static_cast<std::size_t>(width) * 128 * s);
        std::vector<std::uint32_t> colours(counts.size());
        PointColours(view, c.choice).Line(counts, mu.data(), colours);
        const Bytes rgb = Decoded("p.png");
        ASSERT_EQ(rgb.size(), std::size_t{Width} * 128u * 3u) << c.args;
        int differing = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < Width; ++x) {
                std::uint32_t sums[3] = {0, 0, 0};
                for (int dy = 0; dy < s; ++dy)
                    for (int dx = 0; dx < s; ++dx) {
                        const std::uint32_t colour =
                            colours[static_cast<std::size_t>((y * s + dy) * width + x * s + dx)];
                        for (int k = 0; k < 3; ++k)
                            sums[k] += LinearOf(static_cast<std::uint8_t>(colour >> (16 - 8 * k)));
                    }
                for (int k = 0; k < 3; ++k)
                    if (rgb[static_cast<std::size_t>(3 * (y * Width + x) + k)] !=
                            EncodedOf(sums[k], static_cast<std::uint32_t>(s * s)) &&
                        ++differing < 5)
                        ADD_FAILURE() << c.args << ": pixel (" << x << ", " << y << ") component " << k;
            }
        EXPECT_EQ(differing, 0) << c.args;
    }
    // Smooth is not the counts' picture.
    ASSERT_EQ(Run("in-view.qarn --size 256x128 -o counts.png"), 0);
    ASSERT_EQ(Run("in-view.qarn --size 256x128 --colouring smooth -o smooth.png"), 0);
    EXPECT_NE(Decoded("counts.png"), Decoded("smooth.png"));
}

TEST_F(RenderTool, GradientFilesThatCannotBeUsedRefuseTheRun) {
    WriteAll(dir / "in-bad.txt", Bytes{'0', ' ', '#', '0', '0', '0', '0', '0', '0', '\n',
                                       '2', ' ', '#', 'f', 'f', 'f', 'f', 'f', 'f', '\n'});
    WriteAll(dir / "in-empty.txt", Bytes{});
    const struct {
        const char* file;
        const char* message;
    } rows[] = {
        {"in-bad.txt", "in-bad.txt: line 2: the position \"2\" lies outside 0 to 1"},
        {"in-empty.txt", "in-empty.txt: holds no colours"},
        {"in-missing.txt", "in-missing.txt: cannot be read"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Run(std::string("--gradient ") + row.file + " -o p.png --counts n.u32 --save v.qarn"), 2) << row.file;
        EXPECT_EQ(Stderr(), std::string("qarn-render: ") + row.message + "\n");
        EXPECT_TRUE(Outputs().empty()) << "nothing is written";
    }
}

TEST_F(RenderTool, ShiftedFramesAreIndependentAndCycleTheColours) {
    const std::string frames = "--at -0.75 0.1 --level 8 --size 128x72 --colouring smooth";
    ASSERT_EQ(Run(frames + " --shift-per-frame 2.5 --zoom-frames 4 whole"), 0) << Stderr();
    ASSERT_EQ(Run(frames + " --shift-per-frame 2.5 --zoom-frames 4 part --frames 3-4"), 0) << Stderr();
    ASSERT_EQ(Run(frames + " --zoom-frames 4 still"), 0) << Stderr();
    for (const char* name : {"frame-0003.png", "frame-0004.png"})
        EXPECT_EQ(ReadAll(dir / "whole" / name), ReadAll(dir / "part" / name)) << name;
    EXPECT_EQ(ReadAll(dir / "whole/frame-0000.png"), ReadAll(dir / "still/frame-0000.png")) << "frame 0 is not shifted";
    EXPECT_NE(ReadAll(dir / "whole/frame-0003.png"), ReadAll(dir / "still/frame-0003.png"));
}

struct ExrPicture {
    int width = 0, height = 0;
    std::vector<std::string> channels;
    std::vector<half> r, g, b;
    std::vector<std::uint32_t> n;
    std::vector<float> mu;
};

// Read back with OpenEXR's own reader.
ExrPicture ReadExr(const fs::path& path) {
    Imf::InputFile file(path.string().c_str());
    const Imath::Box2i window = file.header().dataWindow();
    ExrPicture picture;
    picture.width = window.max.x - window.min.x + 1;
    picture.height = window.max.y - window.min.y + 1;
    for (auto it = file.header().channels().begin(); it != file.header().channels().end(); ++it)
        picture.channels.push_back(it.name());
    const std::size_t size = static_cast<std::size_t>(picture.width) * picture.height;
    picture.r.resize(size);
    picture.g.resize(size);
    picture.b.resize(size);
    picture.n.resize(size);
    picture.mu.resize(size);
    Imf::FrameBuffer frame;
    const std::size_t w = static_cast<std::size_t>(picture.width);
    frame.insert("R", Imf::Slice(Imf::HALF, reinterpret_cast<char*>(picture.r.data()), sizeof(half), w * sizeof(half)));
    frame.insert("G", Imf::Slice(Imf::HALF, reinterpret_cast<char*>(picture.g.data()), sizeof(half), w * sizeof(half)));
    frame.insert("B", Imf::Slice(Imf::HALF, reinterpret_cast<char*>(picture.b.data()), sizeof(half), w * sizeof(half)));
    frame.insert("N", Imf::Slice(Imf::UINT, reinterpret_cast<char*>(picture.n.data()), 4, w * 4));
    frame.insert("mu", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(picture.mu.data()), 4, w * 4));
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);
    return picture;
}

TEST_F(RenderTool, ExrHoldsThePicturesLinearLightTheCountsAndMu) {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    for (const std::string colouring : {"counts", "smooth"}) {
        const std::string args = "--at -0.75 0.1 --level 7 --size 300x200 --colouring " + colouring;
        ASSERT_EQ(Run(args + " -o p.exr --counts n.u32 --continuous mu.f64"), 0) << Stderr();
        ASSERT_EQ(Run(args + " -o p.png"), 0) << Stderr();
        const ExrPicture exr = ReadExr(dir / "p.exr");
        ASSERT_EQ(exr.width, 300);
        ASSERT_EQ(exr.height, 200);
        EXPECT_EQ(exr.channels, (std::vector<std::string>{"B", "G", "N", "R", "mu"}));
        const std::vector<std::uint32_t> counts = Counts(dir / "n.u32");
        const std::vector<double> mu = Doubles(dir / "mu.f64");
        const Bytes rgb = Decoded("p.png");
        ASSERT_EQ(rgb.size(), 300u * 200u * 3u);
        int differing = 0;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            const half* channels[3] = {&exr.r[i], &exr.g[i], &exr.b[i]};
            bool same = exr.n[i] == counts[i] && exr.mu[i] == static_cast<float>(mu[i]);
            for (int k = 0; k < 3; ++k)
                same = same && *channels[k] == half(static_cast<float>(LinearOf(rgb[3 * i + k])) / LinearOne);
            if (!same && ++differing < 5) ADD_FAILURE() << colouring << ": pixel " << i;
        }
        EXPECT_EQ(differing, 0);
        // Alone, without --continuous, the picture carries the same mu.
        ASSERT_EQ(Run(args + " -o q.exr"), 0) << Stderr();
        EXPECT_EQ(ReadExr(dir / "q.exr").mu, exr.mu) << colouring;
    }
    // exrheader lists the channels; supersampled, only the colours.
    if (std::system("command -v exrheader >/dev/null 2>&1") != 0) GTEST_SKIP() << "exrheader is not installed";
    ASSERT_EQ(Run("--size 64x64 --supersample 2 -o s.exr"), 0) << Stderr();
    ASSERT_EQ(Run("p.exr s.exr", "exrheader"), 0);
    const Bytes out = ReadAll(dir / "stdout.txt");
    const std::string header(out.begin(), out.end());
    EXPECT_NE(header.find("mu, 32-bit floating-point"), std::string::npos) << header;
    EXPECT_NE(header.find("N, 32-bit unsigned integer"), std::string::npos) << header;
    const std::string second = header.substr(header.find("s.exr"));
    EXPECT_NE(second.find("R, 16-bit floating-point"), std::string::npos) << second;
    EXPECT_EQ(second.find("mu,"), std::string::npos) << second;
}

// A frame cut short (a node that crashed) is made again on resume; a whole
// one is kept.
TEST_F(RenderTool, ExrFrameCutShortIsMadeAgain) {
    const std::string frames = "--size 64x48 --format exr --zoom-frames 2 f";
    ASSERT_EQ(Run(frames), 0) << Stderr();
    const Bytes whole = ReadAll(dir / "f/frame-0001.exr");
    ASSERT_GT(whole.size(), 400u);
    WriteAll(dir / "f/frame-0001.exr", Bytes(whole.begin(), whole.end() - 40));
    const auto kept = fs::last_write_time(dir / "f/frame-0002.exr");
    ASSERT_EQ(Run(frames), 0) << Stderr();
    EXPECT_EQ(ReadAll(dir / "f/frame-0001.exr"), whole);
    EXPECT_EQ(fs::last_write_time(dir / "f/frame-0002.exr"), kept);
}

TEST_F(RenderTool, ExrOnAFullDiskLeavesNoPartialFile) {
    const auto disk = MountSmallDisk();
    if (!disk) GTEST_SKIP() << "a small tmpfs cannot be mounted here (it takes root): " << Stderr();
    EXPECT_EQ(Run("--at -0.75 0.1 --level 10 --size 512x512 --colouring smooth -o small/p.exr"), 3);
    EXPECT_NE(Stderr().find("No space left on device"), std::string::npos) << Stderr();
    EXPECT_TRUE(fs::is_empty(dir / "small"));
}

}  // namespace
}  // namespace qarn
