#include "frame_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace qarn::render {
namespace {

namespace fs = std::filesystem;

// A frame file is whole when it ends with its format's end mark; resuming
// renders again every other one.
TEST(FrameFiles, WholeOnlyWithTheFormatsEndMark) {
    const fs::path dir = fs::temp_directory_path() / ("qarn-frame-files-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string iend("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    const std::string signature("\x89PNG\r\n\x1A\n", 8);
    const struct {
        const char* name;
        std::string bytes;  // none: the file is not made
        bool whole;
    } rows[] = {
        {"missing.png", {}, false},
        {"empty.png", "", false},
        {"end-only.png", iend, true},
        {"whole.png", signature + "IHDR..." + iend, true},
        {"upper.PNG", signature + iend, true},
        {"cut.png", signature + "IHDR..." + iend.substr(0, 11), false},
        {"bad-crc.png", signature + iend.substr(0, 11) + "\x83", false},
        {"trailing.png", signature + iend + "x", false},
        {"frame.bmp", "BM", true},  // no end mark to check: whole when it is there
    };
    for (const auto& row : rows) {
        const fs::path path = dir / row.name;
        if (std::string(row.name) != "missing.png") std::ofstream(path, std::ios::binary) << row.bytes;
        EXPECT_EQ(IsWholeFrameFile(path.string()), row.whole) << row.name;
    }
    fs::create_directory(dir / "folder.png");
    EXPECT_FALSE(IsWholeFrameFile((dir / "folder.png").string()));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qarn::render
