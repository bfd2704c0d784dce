// Runs the built qarn-render as a user would and checks its files with
// independent readers: the engine's reference pass and ImageMagick.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "colour/palette_tables.h"
#include "persistence/coordinate_file.h"
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
        dir = fs::temp_directory_path() /
              ("qarn-render-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool in the test's folder; returns its exit code.
    int Run(const std::string& args) {
        const std::string command = "cd '" + dir.string() + "' && '" QARN_RENDER_PATH "' " + args + " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Stderr() {
        const Bytes bytes = ReadAll(dir / "stderr.txt");
        return std::string(bytes.begin(), bytes.end());
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
        {"in-47.qarn", [&] { Bytes b = good; b.push_back(1); return b; }(), "size"},
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

TEST_F(RenderTool, UsageErrors) {
    for (const char* args : {"--bogus", "a.qarn b.qarn", "--threads 0", "--threads x", "-o", "--counts"}) {
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
    const std::string command = "cd '" + dir.string() + "' && script -qec \"'" QARN_RENDER_PATH
                                "' in-slow.qarn -o shown.bmp --threads 1\" /dev/null >terminal.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes bytes = ReadAll(dir / "terminal.txt");
    const std::string terminal(bytes.begin(), bytes.end());
    EXPECT_NE(terminal.find("rendering ["), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("%"), std::string::npos) << terminal;
    EXPECT_EQ(ReadAll(dir / "shown.bmp"), ReadAll(dir / "quiet.bmp"));
}

}  // namespace
}  // namespace qarn
