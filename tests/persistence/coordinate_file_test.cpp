#include "persistence/coordinate_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "support/views.h"

namespace qarn {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RecordOf(const ViewState& view) {
    const CoordinateRecord record = EncodeViewState(view);
    return Bytes(record.begin(), record.end());
}

void PutWord(Bytes& bytes, std::size_t at, std::uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

Bytes Legacy(std::uint32_t paletteNumber, std::int32_t shift, std::int32_t level = 3) {
    ViewState view = testing::ViewAround(-0.5L, 0.25L, level, 512);
    Bytes bytes = RecordOf(view);
    bytes.resize(LegacyCoordinateFileSize);
    PutWord(bytes, 34, paletteNumber);
    PutWord(bytes, 38, static_cast<std::uint32_t>(shift));
    return bytes;
}

TEST(CoordinateFile, StartUpRecordBytes) {
    ViewState view;
    InstallHomeView(view);
    const Bytes expected = {0,    0,    0, 0, 0, 0, 0, 0x80, 0x00, 0xC0,  // -2.0
                            0,    0,    0, 0, 0, 0, 0, 0x80, 0x00, 0x40,  // 2.0
                            0,    0,    0, 0, 0, 0, 0, 0x80, 0xF8, 0x3F,  // 2^-7
                            0,    0,    0, 0,                             // level 0
                            0x07, 0x10, 0, 0,                             // palette 4096, components 7
                            0,    0,    0, 0,                             // shift 0
                            0x00, 0x02, 0, 0};                            // depth 512
    EXPECT_EQ(RecordOf(view), expected);
}

TEST(CoordinateFile, SaveThenLoadRestoresEverything) {
    ViewState saved = testing::ViewAround(-0.7436438870371587L, 0.1318259042053119L, 53, 2048);
    saved.PaletteMode = 1024 + 5;
    saved.ColourShift = 4032;
    ViewState loaded;
    ASSERT_EQ(DecodeCoordinateFile(RecordOf(saved), loaded), CoordinateFileProblem::None);
    EXPECT_EQ(RecordOf(loaded), RecordOf(saved));
    EXPECT_EQ(loaded.OriginRe, saved.OriginRe);
    EXPECT_EQ(loaded.PixelStep, saved.PixelStep);
}

TEST(CoordinateFile, LegacyFormTakesPaletteAndDepthFromItsTable) {
    struct Row {
        std::uint32_t number, paletteMode, depth;
    };
    for (const Row& row : {Row{0, 2048 + 7, 2048}, Row{1, 256 + 7, 2048}, Row{2, 2048 + 7, 4096},
                           Row{3, 4096 + 7, 4096}, Row{4, 1024 + 7, 1024}}) {
        ViewState view;
        ASSERT_EQ(DecodeCoordinateFile(Legacy(row.number, 77), view), CoordinateFileProblem::None);
        EXPECT_EQ(view.PaletteMode, row.paletteMode) << "palette number " << row.number;
        EXPECT_EQ(view.Depth, row.depth);
        EXPECT_EQ(view.ColourShift, 77) << "the shift stands at offset 38";
        EXPECT_EQ(view.ZoomLevel, 3);
    }
}

TEST(CoordinateFile, HighPaletteBitsAreCleared) {
    Bytes bytes = RecordOf(testing::HomeViewState());
    PutWord(bytes, 34, 0xABCD0000u + 2048 + 3);
    ViewState view;
    ASSERT_EQ(DecodeCoordinateFile(bytes, view), CoordinateFileProblem::None);
    EXPECT_EQ(view.PaletteMode, 2048u + 3);
}

TEST(CoordinateFile, NonFiniteRealsAreTakenAsRead) {
    ViewState damaged = testing::ViewAround(0.0L, 0.0L, 5, 512);
    damaged.OriginRe = std::numeric_limits<long double>::quiet_NaN();
    damaged.OriginIm = std::numeric_limits<long double>::infinity();
    ViewState view;
    ASSERT_EQ(DecodeCoordinateFile(RecordOf(damaged), view), CoordinateFileProblem::None);
    EXPECT_TRUE(std::isnan(view.OriginRe));
    EXPECT_TRUE(std::isinf(view.OriginIm));
}

TEST(CoordinateFile, RefusedFilesLeaveTheViewAlone) {
    const Bytes good = RecordOf(testing::ViewAround(-1.0L, 0.0L, 10, 1024));
    auto with = [&](std::size_t at, std::uint32_t value) {
        Bytes bytes = good;
        PutWord(bytes, at, value);
        return bytes;
    };
    Bytes bitmapStart(46, 0);
    bitmapStart[0] = 'B';
    bitmapStart[1] = 'M';
    struct Case {
        const char* name;
        Bytes bytes;
        CoordinateFileProblem problem;
    };
    const Case cases[] = {
        {"empty", {}, CoordinateFileProblem::WrongSize},
        {"45 bytes", Bytes(good.begin(), good.end() - 1), CoordinateFileProblem::WrongSize},
        {"47 bytes",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }(),
         CoordinateFileProblem::WrongSize},
        {"a bitmap", Bytes(786486, 0), CoordinateFileProblem::WrongSize},
        {"46 bytes of a bitmap's start", bitmapStart, CoordinateFileProblem::PaletteSizeInvalid},
        {"level 57", with(30, 57), CoordinateFileProblem::ZoomLevelOutOfRange},
        {"level -1", with(30, 0xFFFFFFFFu), CoordinateFileProblem::ZoomLevelOutOfRange},
        {"palette size 0", with(34, 7), CoordinateFileProblem::PaletteSizeInvalid},
        {"palette size 768", with(34, 768 + 7), CoordinateFileProblem::PaletteSizeInvalid},
        {"palette size 8192", with(34, 8192 + 7), CoordinateFileProblem::PaletteSizeInvalid},
        {"shift -1", with(38, 0xFFFFFFFFu), CoordinateFileProblem::ColourShiftOutOfRange},
        {"shift 4097", with(38, 4097), CoordinateFileProblem::ColourShiftOutOfRange},
        {"depth 4097", with(42, 4097), CoordinateFileProblem::DepthInvalid},
        {"depth 0xFFFFFFFF", with(42, 0xFFFFFFFFu), CoordinateFileProblem::DepthInvalid},
        {"depth 256", with(42, 256), CoordinateFileProblem::DepthInvalid},
        {"depth 0", with(42, 0), CoordinateFileProblem::DepthInvalid},
        {"legacy palette number 5", Legacy(5, 0), CoordinateFileProblem::LegacyPaletteNumber},
        {"legacy palette number 0xFFFFFFFF", Legacy(0xFFFFFFFFu, 0), CoordinateFileProblem::LegacyPaletteNumber},
        {"legacy level 99", Legacy(3, 0, 99), CoordinateFileProblem::ZoomLevelOutOfRange},
    };
    for (const Case& c : cases) {
        ViewState view = testing::HomeViewState(2048);
        const Bytes before = RecordOf(view);
        EXPECT_EQ(DecodeCoordinateFile(c.bytes, view), c.problem) << c.name;
        EXPECT_EQ(RecordOf(view), before) << c.name << " changed the view";
        EXPECT_STRNE(DescribeProblem(c.problem), "") << c.name;
    }
}

TEST(CoordinateFile, EdgeValuesThatTheCommandsProduceAreAccepted) {
    ViewState view = testing::HomeViewState();
    for (std::int32_t level : {0, 56})
        for (std::int32_t shift : {0, 4096})
            for (std::uint32_t mode : {256u, 4096u + 7}) {
                ViewState file = testing::HomeViewState(4096);
                file.ZoomLevel = level;
                file.ColourShift = shift;
                file.PaletteMode = mode;
                EXPECT_EQ(DecodeCoordinateFile(RecordOf(file), view), CoordinateFileProblem::None);
            }
}

}  // namespace
}  // namespace qarn
