// Layout of toolbar, picture and status bar; painting; activation.
#include <windows.h>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "viewer/selection.h"

namespace qarn {

Handled OnWindowPosChanged(Application& app, UINT, WPARAM, LPARAM) {
    ShellState& shell = app.shell;
    GetClientRect(shell.mainWindow, &shell.PictureRect);
    const LPARAM size = MAKELPARAM(shell.PictureRect.right, shell.PictureRect.bottom);
    SendMessageW(shell.toolbar, WM_SIZE, 0, size);
    GetWindowRect(shell.toolbar, &shell.ToolbarRect);
    SendMessageW(shell.statusBar, WM_SIZE, 0, size);
    const int top = shell.ToolbarRect.bottom - shell.ToolbarRect.top;
    shell.PictureRect.top = top;
    shell.PictureRect.bottom = top + ViewSize;
    // The default procedure does not see it: no WM_SIZE or WM_MOVE follows.
    return HandledWith(0);
}

// Only the toolbar band: the picture covers the rest and the status bar
// paints itself.
Handled OnEraseBackground(Application& app, UINT, WPARAM wParam, LPARAM) {
    const ShellState& shell = app.shell;
    const RECT band{0, 0, shell.ToolbarRect.right - shell.ToolbarRect.left, shell.PictureRect.top};
    FillRect(reinterpret_cast<HDC>(wParam), &band, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    return HandledWith(1);
}

Handled OnPaint(Application& app, UINT, WPARAM, LPARAM) {
    ShellState& shell = app.shell;
    PAINTSTRUCT paint{};
    BeginPaint(shell.mainWindow, &paint);
    // Only the part of the update rectangle that lies on the picture gets
    // pixels; the toolbar and the status bar are never drawn over.
    RECT area{};
    if (IntersectRect(&area, &paint.rcPaint, &shell.PictureRect))
        BitBlt(shell.WindowDC, area.left, area.top, area.right - area.left, area.bottom - area.top, shell.MemoryDC,
               area.left, area.top - shell.PictureRect.top, SRCCOPY);
    EndPaint(shell.mainWindow, &paint);
    return HandledWith(0);
}

Handled OnActivate(Application& app, UINT, WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        DeactivateSelection(app.viewer, app.desktop);
    } else {
        app.desktop.RepaintPicture();
    }
    return HandledWith(0);
}

Handled OnSetCursor(Application& app, UINT, WPARAM, LPARAM) {
    RefreshCursor(app.viewer, app.desktop);
    return HandledWith(0);
}

}  // namespace qarn
