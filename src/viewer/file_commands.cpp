#include "viewer/file_commands.h"

#include <algorithm>
#include <array>

#include "viewer/zoom_view.h"
#include "persistence/bitmap_file.h"
#include "persistence/coordinate_file.h"
#include "viewer/colour_commands.h"

namespace qarn {
namespace {

void Ready(Desktop& desktop) { desktop.SetStatusText(StatusPart::Messages, u"Ready"); }

// The extension begins with b and m, in any case: bmp, BMP, Bm, bmx alike.
bool NamesABitmap(const FileNameBuffer& name, std::size_t extensionAt) {
    if (extensionAt == 0 || extensionAt + 1 >= name.size()) return false;
    const char16_t first = name[extensionAt] & ~char16_t{32};
    const char16_t second = name[extensionAt + 1] & ~char16_t{32};
    return first == u'B' && second == u'M';
}

}  // namespace

void LoadCoordinateFile(Viewer& viewer, Desktop& desktop) {
    desktop.SetStatusText(StatusPart::Messages, u"Loading...");
    // One byte more than the larger form tells a wrong size.
    std::array<std::uint8_t, CoordinateFileSize + 1> bytes{};
    std::size_t bytesRead = 0;
    std::uint64_t fileSize = 0;
    const FileError error = desktop.ReadDataFile(viewer.fileName.data(), bytes, bytesRead, fileSize);
    if (error != NoError) {
        desktop.ShowFileError(error);
        Ready(desktop);
        return;
    }
    ViewState& view = viewer.engine.view;
    const bool rightSize = fileSize == bytesRead;
    if (!rightSize || DecodeCoordinateFile(std::span(bytes.data(), bytesRead), view) != CoordinateFileProblem::None) {
        desktop.ShowFileError(InvalidDataError);
        Ready(desktop);
        return;
    }
    BuildMonoTable(viewer.tables.mono, view.PaletteMode);
    ZoomView(viewer, desktop, 0);
    MapViewerDisplay(viewer, desktop);
    SyncColourChecks(viewer, desktop);
}

void LoadCommand(Viewer& viewer, Desktop& desktop) {
    viewer.fileName.fill(0);
    viewer.fileDialog.filterIndex = 1;
    if (!desktop.ChooseFile(FileDialogKind::Load, viewer.fileName, viewer.fileDialog)) return;
    LoadCoordinateFile(viewer, desktop);
}

void SaveAsCommand(Viewer& viewer, Desktop& desktop) {
    viewer.fileName.fill(0);
    if (!desktop.ChooseFile(FileDialogKind::SaveAs, viewer.fileName, viewer.fileDialog)) {
        Ready(desktop);
        return;
    }
    SaveChosenFile(viewer, desktop);
}

void SaveChosenFile(Viewer& viewer, Desktop& desktop) {
    desktop.SetStatusText(StatusPart::Messages, u"Saving...");
    FileError error = NoError;
    if (NamesABitmap(viewer.fileName, viewer.fileDialog.extensionAt)) {
        // The picture is packed in place and mapped again afterwards: no
        // second buffer.
        const BitmapHeader header = MakeBitmapHeader(24);
        const auto packed = PackDisplayPixels(viewer.Pixels());
        error = desktop.WriteDataFile(viewer.fileName.data(),
                                      std::array<std::span<const std::uint8_t>, 2>{header, packed});
        MapViewerDisplay(viewer, desktop);
    } else {
        const CoordinateRecord record = EncodeViewState(viewer.engine.view);
        error = desktop.WriteDataFile(viewer.fileName.data(), std::array<std::span<const std::uint8_t>, 1>{record});
    }
    if (error != NoError) desktop.ShowFileError(error);
    Ready(desktop);
}

void LoadDroppedFile(Viewer& viewer, Desktop& desktop, const char16_t* name, std::size_t length) {
    if (length >= viewer.fileName.size()) {
        desktop.ShowFileError(NameTooLongError);
        return;
    }
    viewer.fileName.fill(0);
    std::copy(name, name + length, viewer.fileName.begin());
    LoadCoordinateFile(viewer, desktop);
}

}  // namespace qarn
