#include "shell/dispatch.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>

#include <iterator>

#include "shell/application.h"
#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"
#include "viewer/file_commands.h"
#include "viewer/selection.h"
#include "viewer/zoom_command.h"

namespace qarn {
namespace {

Handled CommandDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled NotifyDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);

Handled ExitFromMenu(Application& app, int command) {
    return ExitCommand(app, static_cast<UINT>(command), 0, 0);
}

Handled Zoom(Application& app, int command) {
    ZoomCommand(app.viewer, app.desktop, command);
    return HandledWith(0);
}

// The pointer position of a mouse message: low and high words, unsigned.
ClientPoint PointOf(LPARAM lParam) {
    return {static_cast<std::int32_t>(LOWORD(lParam)), static_cast<std::int32_t>(HIWORD(lParam))};
}

Handled OnMouseMove(Application& app, UINT, WPARAM, LPARAM lParam) {
    UpdateSelection(app.viewer, app.desktop, 0, PointOf(lParam));
    return HandledWith(0);
}

Handled OnTimer(Application& app, UINT, WPARAM wParam, LPARAM) {
    TimerTick(app.viewer, app.desktop, static_cast<unsigned>(wParam));
    return HandledWith(0);
}

Handled OnLeftPress(Application& app, UINT, WPARAM, LPARAM lParam) {
    LeftPress(app.viewer, app.desktop, PointOf(lParam));
    return HandledWith(0);
}

Handled OnRightPress(Application& app, UINT, WPARAM, LPARAM) {
    RightPress(app.viewer, app.desktop);
    return HandledWith(0);
}

// Shared by the double clicks and commands 46 and 47; the message code tells
// a double click from a command.
Handled OnAutoZoomIn(Application& app, UINT, WPARAM, LPARAM) {
    StartAutoZoomIn(app.viewer, app.desktop);
    return HandledWith(0);
}

Handled OnAutoZoomOut(Application& app, UINT messageOrCommand, WPARAM, LPARAM) {
    StartAutoZoomOut(app.viewer, app.desktop, messageOrCommand == WM_RBUTTONDBLCLK);
    return HandledWith(0);
}

Handled OnMiddlePress(Application& app, UINT, WPARAM, LPARAM) {
    StartAutoScroll(app.viewer, app.desktop);
    return HandledWith(0);
}

Handled OnKeyDown(Application& app, UINT, WPARAM wParam, LPARAM) {
    const Key key = wParam == VK_LEFT    ? Key::Left
                    : wParam == VK_RIGHT ? Key::Right
                    : wParam == VK_UP    ? Key::Up
                    : wParam == VK_DOWN  ? Key::Down
                                         : Key::Other;
    return KeyDown(app.viewer, app.desktop, key) ? HandledWith(0) : NotHandled;
}

Handled OnApplicationCommand(Application& app, UINT, WPARAM, LPARAM lParam) {
    return HandledWith(ApplicationCommand(app.viewer, app.desktop, HIWORD(lParam)));
}

Handled OnMouseWheel(Application& app, UINT, WPARAM wParam, LPARAM) {
    MouseWheel(app.viewer, app.desktop, static_cast<short>(HIWORD(wParam)));
    return HandledWith(0);
}

Handled AutoZoomInCommand(Application& app, int command) {
    return OnAutoZoomIn(app, static_cast<UINT>(command), 0, 0);
}
Handled AutoZoomOutCommand(Application& app, int command) {
    return OnAutoZoomOut(app, static_cast<UINT>(command), 0, 0);
}
Handled AutoScrollCommandHandler(Application& app, int command) {
    return OnMiddlePress(app, static_cast<UINT>(command), 0, 0);
}

Handled Load(Application& app, int) {
    LoadCommand(app.viewer, app.desktop);
    return HandledWith(0);
}

Handled SaveAs(Application& app, int) {
    SaveAsCommand(app.viewer, app.desktop);
    return HandledWith(0);
}

// The first dropped file is loaded; the others are ignored.
Handled OnDropFiles(Application& app, UINT, WPARAM wParam, LPARAM) {
    const auto drop = reinterpret_cast<HDROP>(wParam);
    std::array<wchar_t, 1024> name{};
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length < name.size()) DragQueryFileW(drop, 0, name.data(), static_cast<UINT>(name.size()));
    DragFinish(drop);
    SetForegroundWindow(app.shell.mainWindow);
    LoadDroppedFile(app.viewer, app.desktop, reinterpret_cast<const char16_t*>(name.data()), length);
    return HandledWith(0);
}

Handled SelectLevel(Application& app, int command) {
    SelectLevelCommand(app.viewer, app.desktop, command);
    return HandledWith(0);
}

Handled ColourShift(Application& app, int command) {
    ColourShiftCommand(app.viewer, app.desktop, command);
    return HandledWith(0);
}

Handled Palette(Application& app, int command) {
    PaletteCommand(app.viewer, app.desktop, command);
    return HandledWith(0);
}

Handled Depth(Application& app, int command) {
    DepthCommand(app.viewer, app.desktop, command);
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
    {WM_MOUSEMOVE, OnMouseMove},
    {WM_TIMER, OnTimer},
    {WM_LBUTTONDOWN, OnLeftPress},
    {WM_RBUTTONDOWN, OnRightPress},
    {WM_LBUTTONDBLCLK, OnAutoZoomIn},
    {WM_RBUTTONDBLCLK, OnAutoZoomOut},
    {WM_MBUTTONDOWN, OnMiddlePress},
    {WM_MENUSELECT, OnMenuSelect},
    {WM_KEYDOWN, OnKeyDown},
    {WM_APPCOMMAND, OnApplicationCommand},
    {WM_MOUSEWHEEL, OnMouseWheel},
    {WM_WINDOWPOSCHANGED, OnWindowPosChanged},
    {WM_PAINT, OnPaint},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_ACTIVATE, OnActivate},
    {WM_DROPFILES, OnDropFiles},
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
    {36, Load},            // Load
    {37, SaveAs},          // Save As
    {38, ExitFromMenu},    // Exit
    {39, Zoom},            // Zero level reset
    {40, Zoom},            // Zoom Out
    {41, Zoom},            // Zoom In
    {42, SelectLevel},               // Select 1 level Zoom
    {43, SelectLevel},
    {44, SelectLevel},
    {45, SelectLevel},               // Select 4 level Zoom
    {46, AutoZoomOutCommand},        // Auto Zoom Out to Home
    {47, AutoZoomInCommand},         // Auto Zoom In to End
    {48, AutoScrollCommandHandler},  // AutoScroll
    {49, ColourShift},               // colour shift commands
    {50, ColourShift},
    {51, ColourShift},
    {52, ColourShift},
    {53, ColourShift},
    {54, Palette},  // monochrome components and palette sizes
    {55, Palette},
    {56, Palette},
    {57, Palette},
    {58, Palette},
    {59, Palette},
    {60, Palette},
    {61, Palette},
    {62, Depth},  // depths
    {63, Depth},
    {64, Depth},
    {65, Depth},
    {66, AboutCommand},  // About
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
