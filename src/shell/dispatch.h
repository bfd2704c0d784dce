#pragma once
#include <windows.h>

namespace qarn {

struct Application;

// What a handler reports: whether it handled the message and, if so, the
// window procedure's result. Unhandled messages go to DefWindowProcW.
struct Handled {
    bool handled;
    LRESULT result;
};
inline constexpr Handled NotHandled{false, 0};
inline constexpr Handled HandledWith(LRESULT result) { return {true, result}; }

// A handler of a message, or of a command (which it gets as `message`, with
// wParam and lParam 0). A handler shared by a message and a command tells
// them apart by that code.
using MessageHandler = Handled (*)(Application&, UINT message, WPARAM wParam, LPARAM lParam);
using NotifyHandler = Handled (*)(Application&, NMHDR& header);

// Looks the message up in the message table (and WM_COMMAND and WM_NOTIFY in
// theirs) and runs the first matching row's handler.
Handled DispatchWindowMessage(Application& application, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handlers of the rows, by the module that owns them.
Handled OnCreate(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnDestroy(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled ExitCommand(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnWindowPosChanged(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnEraseBackground(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnPaint(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnActivate(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnMenuSelect(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnSetCursor(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled OnToolTipText(Application& app, NMHDR& header);
// Command 66: the modal About box (shell/about_box.cpp).
Handled AboutCommand(Application& app, UINT command, WPARAM wParam, LPARAM lParam);

}  // namespace qarn
