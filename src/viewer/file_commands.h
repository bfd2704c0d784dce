#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// Command 36: the Open dialog, then the load.
void LoadCommand(Viewer& viewer, Desktop& desktop);
// Command 37: the Save As dialog, then a bitmap (an extension beginning with
// "bm", in any case) or a coordinate file.
void SaveAsCommand(Viewer& viewer, Desktop& desktop);
// Saves to the file named in viewer.fileName, its kind by the extension
// at viewer.fileDialog.extensionAt: what Save As does once a name is chosen.
void SaveChosenFile(Viewer& viewer, Desktop& desktop);
// Loads the coordinate file named in viewer.fileName: reads it, checks it,
// takes its view and settings, computes and shows the view. A file that
// cannot be read, has the wrong size or holds values the program never
// writes is reported in one box and changes nothing.
void LoadCoordinateFile(Viewer& viewer, Desktop& desktop);
// A file dropped on the window: its name (UTF-16, `length` characters, no
// terminator needed) is loaded as a coordinate file, whatever its
// extension; a name too long for the buffer is refused, never truncated.
void LoadDroppedFile(Viewer& viewer, Desktop& desktop, const char16_t* name, std::size_t length);

}  // namespace qarn
