#include "shell/dispatch.h"

#include <commctrl.h>

#include <iterator>

#include "input/zoom_command.h"
#include "shell/application.h"

namespace qarn {
namespace {

// Rows whose behaviour arrives with later work report "not handled", so the
// default procedure sees those messages meanwhile; the rows already stand.
Handled Pending(Application&, UINT, WPARAM, LPARAM) { return NotHandled; }
Handled PendingCommand(Application&, int) { return NotHandled; }

Handled CommandDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled NotifyDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);

Handled ExitFromMenu(Application& app, int command) {
    return ExitCommand(app, static_cast<UINT>(command), 0, 0);
}

Handled Zoom(Application& app, int command) {
    ZoomCommand(app.viewer, app.desktop, command);
    return HandledWith(0);
}

struct MessageRow {
    UINT code;
    MessageHandler handler;
};

constexpr MessageRow MessageTable[] = {
    {WM_COMMAND, CommandDispatch},
    {WM_NOTIFY, NotifyDispatch},
    {WM_SETCURSOR, OnSetCursor},
    {WM_MOUSEMOVE, Pending},
    {WM_TIMER, Pending},
    {WM_LBUTTONDOWN, Pending},
    {WM_RBUTTONDOWN, Pending},
    {WM_LBUTTONDBLCLK, Pending},
    {WM_RBUTTONDBLCLK, Pending},
    {WM_MBUTTONDOWN, Pending},
    {WM_MENUSELECT, OnMenuSelect},
    {WM_KEYDOWN, Pending},
    {WM_APPCOMMAND, Pending},
    {WM_MOUSEWHEEL, Pending},
    {WM_WINDOWPOSCHANGED, OnWindowPosChanged},
    {WM_PAINT, OnPaint},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_ACTIVATE, OnActivate},
    {WM_DROPFILES, Pending},
    {WM_CREATE, OnCreate},
    {WM_CLOSE, ExitCommand},
    {WM_DESTROY, OnDestroy},
};
static_assert(std::size(MessageTable) == 22);

struct NotifyRow {
    UINT code;
    NotifyHandler handler;
};

constexpr NotifyRow NotifyTable[] = {
    {TTN_GETDISPINFOW, OnToolTipText},
};

struct CommandRow {
    int id;
    CommandHandler handler;
};

constexpr CommandRow CommandTable[] = {
    {36, PendingCommand},  // Load
    {37, PendingCommand},  // Save As
    {38, ExitFromMenu},    // Exit
    {39, Zoom},            // Zero level reset
    {40, Zoom},            // Zoom Out
    {41, Zoom},            // Zoom In
    {42, PendingCommand},  // Select 1 level Zoom
    {43, PendingCommand},
    {44, PendingCommand},
    {45, PendingCommand},  // Select 4 level Zoom
    {46, PendingCommand},  // Auto Zoom Out to Home
    {47, PendingCommand},  // Auto Zoom In to End
    {48, PendingCommand},  // AutoScroll
    {49, PendingCommand},  // colour shift commands
    {50, PendingCommand},
    {51, PendingCommand},
    {52, PendingCommand},
    {53, PendingCommand},
    {54, PendingCommand},  // monochrome components and palette sizes
    {55, PendingCommand},
    {56, PendingCommand},
    {57, PendingCommand},
    {58, PendingCommand},
    {59, PendingCommand},
    {60, PendingCommand},
    {61, PendingCommand},
    {62, PendingCommand},  // depths
    {63, PendingCommand},
    {64, PendingCommand},
    {65, PendingCommand},
    {66, PendingCommand},  // About
};
static_assert(std::size(CommandTable) == 31);

// A menu item, an accelerator and a toolbar button with one identifier act
// alike: only the low word of wParam counts.
Handled CommandDispatch(Application& app, UINT, WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    for (const CommandRow& row : CommandTable)
        if (row.id == id) return row.handler(app, id);
    return NotHandled;
}

Handled NotifyDispatch(Application& app, UINT, WPARAM, LPARAM lParam) {
    auto& header = *reinterpret_cast<NMHDR*>(lParam);
    for (const NotifyRow& row : NotifyTable)
        if (row.code == header.code) return row.handler(app, header);
    return NotHandled;
}

}  // namespace

Handled DispatchWindowMessage(Application& application, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageRow& row : MessageTable)
        if (row.code == message) return row.handler(application, message, wParam, lParam);
    return NotHandled;
}

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Application* application = RunningApplication();
    if (application != nullptr) {
        // WM_CREATE's handlers need the handle before CreateWindowExW returns it.
        if (message == WM_CREATE) application->shell.mainWindow = window;
        const Handled outcome = DispatchWindowMessage(*application, message, wParam, lParam);
        if (outcome.handled) return outcome.result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qarn
