#include "shell/win32_desktop.h"

#include <commctrl.h>

namespace qarn {

void Win32Desktop::SetStatusText(StatusPart part, const char16_t* text) {
    // No drawing-type bits: the part keeps its sunken border.
    SendMessageW(shell_.statusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(Wide(text)));
}

void Win32Desktop::RepaintPicture() {
    RedrawWindow(shell_.mainWindow, &shell_.PictureRect, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Win32Desktop::ShowCursor(CursorShape shape) {
    SetCursor(shape == CursorShape::Wait ? shell_.waitCursor : shell_.arrowCursor);
}

}  // namespace qarn
