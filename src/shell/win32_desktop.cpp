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
    switch (shape) {
    case CursorShape::Arrow: SetCursor(shell_.arrowCursor); break;
    case CursorShape::Wait: SetCursor(shell_.waitCursor); break;
    default:
        SetCursor(shell_.AutoScrollCursors[static_cast<std::size_t>(shape) -
                                           static_cast<std::size_t>(CursorShape::ScrollCentre)]);
        break;
    }
}

void Win32Desktop::StartTimer(TimerId timer, unsigned milliseconds) {
    SetTimer(shell_.mainWindow, static_cast<UINT_PTR>(timer), milliseconds, nullptr);
}

void Win32Desktop::StopTimer(TimerId timer) { KillTimer(shell_.mainWindow, static_cast<UINT_PTR>(timer)); }

ScreenPoint Win32Desktop::PointerPosition() const {
    POINT point{};
    GetCursorPos(&point);
    return {point.x, point.y};
}

void Win32Desktop::MovePointer(ScreenPoint point) { SetCursorPos(point.x, point.y); }

ScreenPoint Win32Desktop::ToScreen(ClientPoint point) const {
    POINT screen{point.x, point.y};
    ClientToScreen(shell_.mainWindow, &screen);
    return {screen.x, screen.y};
}

void Win32Desktop::CaptureMouse() { SetCapture(shell_.mainWindow); }

void Win32Desktop::ReleaseMouse() { ReleaseCapture(); }

void Win32Desktop::DrawSelectionOutline(const ClientRect& rect) {
    const RECT outline{rect.left, rect.top, rect.right, rect.bottom};
    DrawFocusRect(shell_.WindowDC, &outline);
}

void Win32Desktop::MarkCommand(int command, bool marked) {
    if (SendMessageW(shell_.toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0) >= 0)
        SendMessageW(shell_.toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(command), MAKELPARAM(marked ? 1 : 0, 0));
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    item.fState = marked ? MFS_CHECKED : 0;
    SetMenuItemInfoW(shell_.menu, static_cast<UINT>(command), FALSE, &item);
}

}  // namespace qarn
