#include "viewer/file_commands.h"

#include <cstring>

#include "engine/scroll.h"
#include "persistence/bitmap_file.h"
#include "persistence/coordinate_file.h"
#include "viewer/colour_commands.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FileCommandsTest : public testing::ViewerTest {
protected:
    void SaveAs(const std::u16string& name, std::uint32_t filter = 0) {
        desktop.dialogAnswer = name;
        desktop.answerFilter = filter;
        SaveAsCommand(*viewer, desktop);
    }
    void Load(const std::u16string& name) {
        desktop.dialogAnswer = name;
        desktop.answerFilter = 0;
        LoadCommand(*viewer, desktop);
    }
    Bytes Record() const {
        const auto record = EncodeViewState(viewer->engine.view);
        return Bytes(record.begin(), record.end());
    }
};

TEST_F(FileCommandsTest, SaveThenLoadRestoresViewAndSettings) {
    AtLevel(9);
    View().OriginRe = -0.75L - 256 * View().PixelStep;
    View().OriginIm = 0.1L + 256 * View().PixelStep;
    DepthCommand(*viewer, desktop, 63);
    PaletteCommand(*viewer, desktop, 59);
    View().ColourShift = 700;
    const Bytes saved = Record();
    SaveAs(u"C:\\views\\deep.qarn");
    EXPECT_EQ(desktop.files[u"C:\\views\\deep.qarn"], saved);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");

    SetUp();
    desktop.files[u"C:\\views\\deep.qarn"] = saved;
    Load(u"C:\\views\\deep.qarn");
    EXPECT_EQ(Record(), saved);
    EXPECT_EQ(viewer->engine.ComputedDepth, 1024u) << "computed anew at the loaded depth";
    EXPECT_TRUE(desktop.marks[59]);
    EXPECT_TRUE(desktop.marks[63]);
    EXPECT_EQ(desktop.LastText(StatusPart::Level), u"Level 09 of 56");
    EXPECT_TRUE(desktop.errorBoxes.empty());
    auto reference = testing::MakeEngine(View());
    ComputeRowsReference(View(), reference->counts, -ViewSize);
    EXPECT_TRUE(reference->counts == viewer->engine.counts);
}

TEST_F(FileCommandsTest, TheExtensionChoosesTheKindOfFile) {
    for (const char16_t* name : {u"view.bmp", u"view.BMP", u"view.Bm", u"view.bmx"}) {
        SaveAs(name);
        EXPECT_EQ(desktop.files[name].size(), BitmapFileSize) << "a bitmap";
    }
    for (const char16_t* name : {u"view.qarn", u"view.txt", u"view", u"a.bmp.folder\\view"}) {
        SaveAs(name);
        EXPECT_EQ(desktop.files[name].size(), CoordinateFileSize) << "a coordinate file";
    }
}

TEST_F(FileCommandsTest, TheBitmapHoldsThePictureAndThePictureStays) {
    const auto shown = *pixels;
    SaveAs(u"picture.bmp");
    const Bytes& file = desktop.files[u"picture.bmp"];
    ASSERT_EQ(file.size(), BitmapFileSize);
    const BitmapHeader header = MakeBitmapHeader(24);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
    for (std::size_t i = 0; i < shown.size(); i += 97) {
        ASSERT_EQ(file[54 + 3 * i], shown[i] & 0xFF);
        ASSERT_EQ(file[54 + 3 * i + 2], shown[i] >> 16 & 0xFF);
    }
    EXPECT_TRUE(*pixels == shown) << "mapped again after the save";
}

TEST_F(FileCommandsTest, DialogsRememberTheFilter) {
    SaveAs(u"a.bmp", 2);
    SaveAs(u"b.bmp");
    EXPECT_EQ(desktop.dialogs.back().filterIndexShown, 2u) << "the bitmap filter again";
    desktop.files[u"c.qarn"] = Record();
    Load(u"c.qarn");
    EXPECT_EQ(desktop.dialogs.back().filterIndexShown, 1u);
    SaveAs(u"d.qarn");
    EXPECT_EQ(desktop.dialogs.back().filterIndexShown, 1u) << "after a load, the coordinate filter";
}

TEST_F(FileCommandsTest, CancelledDialogs) {
    desktop.dialogAnswer.reset();
    desktop.status.clear();
    LoadCommand(*viewer, desktop);
    EXPECT_TRUE(desktop.status.empty()) << "a cancelled load leaves the status";
    SaveAsCommand(*viewer, desktop);
    EXPECT_EQ(desktop.TextsOf(StatusPart::Messages), std::vector<std::u16string>{u"Ready"});
    EXPECT_EQ(desktop.writes, 0);
}

TEST_F(FileCommandsTest, FailuresShowOneBoxAndChangeNothing) {
    AtLevel(3);
    ComputeRows(viewer->engine, -ViewSize);
    const Bytes before = Record();
    const auto counts = viewer->engine.counts;
    Bytes wrong45 = before;
    wrong45.pop_back();
    Bytes wrong47 = before;
    wrong47.push_back(0);
    Bytes level57 = before;
    level57[30] = 57;
    Bytes legacy5(before.begin(), before.begin() + 42);
    const std::uint32_t five = 5;
    std::memcpy(legacy5.data() + 34, &five, 4);
    desktop.files = {{u"45.qarn", wrong45},       {u"47.qarn", wrong47}, {u"empty.qarn", {}},
                     {u"big.bmp", Bytes(786486)}, {u"57.qarn", level57}, {u"legacy5.qarn", legacy5},
                     {u"locked.qarn", before}};
    desktop.readFailures[u"locked.qarn"] = SystemFileError(32);  // ERROR_SHARING_VIOLATION
    const std::pair<const char16_t*, FileError> cases[] = {
        {u"missing.qarn", SystemFileError(2)}, {u"locked.qarn", SystemFileError(32)}, {u"45.qarn", InvalidDataError},
        {u"47.qarn", InvalidDataError},        {u"empty.qarn", InvalidDataError},     {u"big.bmp", InvalidDataError},
        {u"57.qarn", InvalidDataError},        {u"legacy5.qarn", InvalidDataError},
    };
    for (const auto& [name, error] : cases) {
        desktop.errorBoxes.clear();
        Load(name);
        EXPECT_EQ(desktop.errorBoxes, std::vector<FileError>{error}) << std::string(name, name + 3);
        EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
        EXPECT_EQ(Record(), before);
        EXPECT_TRUE(viewer->engine.counts == counts);
    }
}

TEST_F(FileCommandsTest, AFailedSaveKeepsTheEarlierFile) {
    const Bytes earlier = {1, 2, 3};
    for (std::uint32_t code : {112u /* disk full */, 32u /* held by another program */, 5u /* read-only */}) {
        const FileError error = SystemFileError(code);
        desktop.files[u"keep.bmp"] = earlier;
        desktop.writeFailures[u"keep.bmp"] = error;
        desktop.errorBoxes.clear();
        const auto shown = *pixels;
        SaveAs(u"keep.bmp");
        EXPECT_EQ(desktop.errorBoxes, std::vector<FileError>{error});
        EXPECT_EQ(desktop.files[u"keep.bmp"], earlier);
        EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
        EXPECT_TRUE(*pixels == shown) << "the picture is restored after a failed save too";
    }
}

TEST_F(FileCommandsTest, TheOlderFormTakesItsPaletteAndDepthFromItsNumber) {
    Bytes legacy = Record();
    legacy.resize(42);
    const std::uint32_t normalPaletteAndDepth = 3;
    std::memcpy(legacy.data() + 34, &normalPaletteAndDepth, 4);
    std::int32_t shift = 1234;
    std::memcpy(legacy.data() + 38, &shift, 4);
    desktop.files[u"old.qarn"] = legacy;
    Load(u"old.qarn");
    EXPECT_EQ(View().PaletteMode, 4096u + 7);
    EXPECT_EQ(View().Depth, 4096u);
    EXPECT_EQ(View().ColourShift, 1234);
    EXPECT_TRUE(desktop.errorBoxes.empty());
}

TEST_F(FileCommandsTest, ALevelZeroFileLoadsAsTheHomeView) {
    ScrollView(viewer->engine, 11, 4);
    SaveAs(u"scrolled.qarn");
    const Bytes saved = desktop.files[u"scrolled.qarn"];
    SetUp();
    desktop.files[u"scrolled.qarn"] = saved;
    Load(u"scrolled.qarn");
    EXPECT_EQ(View().OriginRe, -2.0L);
    EXPECT_EQ(View().OriginIm, 2.0L);
}

TEST_F(FileCommandsTest, DroppedFiles) {
    desktop.files[u"dropped.qarn"] = Record();
    const std::u16string name = u"dropped.qarn";
    LoadDroppedFile(*viewer, desktop, name.data(), name.size());
    EXPECT_TRUE(desktop.errorBoxes.empty());
    const std::u16string tooLong(260, u'x');
    desktop.status.clear();
    LoadDroppedFile(*viewer, desktop, tooLong.data(), tooLong.size());
    EXPECT_EQ(desktop.errorBoxes, std::vector<FileError>{NameTooLongError});
    EXPECT_TRUE(desktop.status.empty()) << "refused before anything is read";
}

TEST_F(FileCommandsTest, ShiftingGoesOnThroughALoad) {
    desktop.files[u"v.qarn"] = Record();
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    Load(u"v.qarn");
    EXPECT_EQ(viewer->ColourShiftDirection, 1);
}

}  // namespace
}  // namespace qarn
