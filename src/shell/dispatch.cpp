#include "shell/dispatch.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <iterator>

#include "shell/application.h"
#include "shell/resources/resource_ids.h"
#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"
#include "viewer/file_commands.h"
#include "viewer/key_down.h"
#include "viewer/mouse_press.h"
#include "viewer/selection.h"
#include "viewer/timer_tick.h"
#include "viewer/zoom_command.h"

namespace qarn {
namespace {

Handled CommandDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);
Handled NotifyDispatch(Application& app, UINT message, WPARAM wParam, LPARAM lParam);

Handled Zoom(Application& app, UINT command, WPARAM, LPARAM) {
    ZoomCommand(app.viewer, app.desktop, static_cast<int>(command));
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

// Shared by the double clicks and commands 46 and 47, as the middle press
// by command 48: the message code tells a double click from a command.
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

Handled Load(Application& app, UINT, WPARAM, LPARAM) {
    LoadCommand(app.viewer, app.desktop);
    return HandledWith(0);
}

Handled SaveAs(Application& app, UINT, WPARAM, LPARAM) {
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

Handled SelectLevel(Application& app, UINT command, WPARAM, LPARAM) {
    SelectLevelCommand(app.viewer, app.desktop, static_cast<int>(command));
    return HandledWith(0);
}

Handled ColourShift(Application& app, UINT command, WPARAM, LPARAM) {
    ColourShiftCommand(app.viewer, app.desktop, static_cast<int>(command));
    return HandledWith(0);
}

Handled Palette(Application& app, UINT command, WPARAM, LPARAM) {
    PaletteCommand(app.viewer, app.desktop, static_cast<int>(command));
    return HandledWith(0);
}

Handled Depth(Application& app, UINT command, WPARAM, LPARAM) {
    DepthCommand(app.viewer, app.desktop, static_cast<int>(command));
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

// A row serves the identifiers from `first` to `last`; its handler gets
// the identifier in place of a message code.
struct CommandRow {
    int first;
    int last;
    MessageHandler handler;
};

constexpr CommandRow CommandTable[] = {
    {IDM_LOAD, IDM_LOAD, Load},
    {IDM_SAVE_AS, IDM_SAVE_AS, SaveAs},
    {IDM_EXIT, IDM_EXIT, ExitCommand},
    {IDM_ZOOM_FIRST, IDM_ZOOM_LAST, Zoom},
    {IDM_SELECT_FIRST, IDM_SELECT_LAST, SelectLevel},
    {IDM_AUTO_ZOOM_OUT, IDM_AUTO_ZOOM_OUT, OnAutoZoomOut},
    {IDM_AUTO_ZOOM_IN, IDM_AUTO_ZOOM_IN, OnAutoZoomIn},
    {IDM_AUTOSCROLL, IDM_AUTOSCROLL, OnMiddlePress},
    {IDM_SHIFT_FIRST, IDM_SHIFT_LAST, ColourShift},
    {IDM_MONO_FIRST, IDM_PALETTE_LAST, Palette},
    {IDM_DEPTH_FIRST, IDM_DEPTH_LAST, Depth},
    {IDM_ABOUT, IDM_ABOUT, AboutCommand},
};

// Every identifier from the first to the last has exactly one row.
constexpr bool CoversEveryCommandOnce() {
    int next = IDM_FIRST;
    for (const CommandRow& row : CommandTable) {
        if (row.first != next || row.last < row.first) return false;
        next = row.last + 1;
    }
    return next == IDM_LAST + 1;
}
static_assert(CoversEveryCommandOnce());

// A menu item, an accelerator and a toolbar button with one identifier act
// alike: only the low word of wParam counts.
Handled CommandDispatch(Application& app, UINT, WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    for (const CommandRow& row : CommandTable)
        if (row.first <= id && id <= row.last) return row.handler(app, static_cast<UINT>(id), 0, 0);
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

// The window keeps its application in its user data, given at its creation.
LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* application = reinterpret_cast<Application*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        application = static_cast<Application*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(application));
    }
    if (application != nullptr) {
        // WM_CREATE's handlers need the handle before CreateWindowExW returns it.
        if (message == WM_CREATE) application->shell.mainWindow = window;
        const Handled outcome = DispatchWindowMessage(*application, message, wParam, lParam);
        if (outcome.handled) return outcome.result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qarn
