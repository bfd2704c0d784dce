// Start-up, the main window's creation, the message loop and shut-down.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "persistence/bitmap_file.h"
#include "shell/application.h"
#include "shell/dispatch.h"
#include "shell/resources/resource_ids.h"
#include "shell/toolbar_buttons.h"
#include "viewer/first_picture.h"
#include "viewer/modes.h"

namespace qarn {
namespace {

constexpr wchar_t ClassName[] = L"Qarn";
constexpr wchar_t Caption[] = L"The Mandelbrot Set";
constexpr int StatusPartEdges[] = {400, -1};

int HeightOf(const RECT& rect) { return rect.bottom - rect.top; }

HCURSOR SharedSystemCursor(LPCWSTR id) {
    return static_cast<HCURSOR>(LoadImageW(nullptr, id, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

// The nine AutoScroll cursors of the common-controls library, or ours where
// the library has none (Wine's has none).
void LoadAutoScrollCursors(ShellState& shell) {
    const HMODULE library = GetModuleHandleW(L"ComCtl32");
    for (int i = 0; i < static_cast<int>(shell.AutoScrollCursors.size()); ++i) {
        const LPCWSTR id = MAKEINTRESOURCEW(IDCUR_SCROLL_FIRST + i);
        HANDLE cursor = library ? LoadImageW(library, id, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED) : nullptr;
        if (cursor == nullptr) cursor = LoadImageW(shell.instance, id, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
        shell.AutoScrollCursors[static_cast<std::size_t>(i)] = static_cast<HCURSOR>(cursor);
    }
}

bool CreateToolbar(ShellState& shell) {
    shell.toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                    WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0,
                                    shell.mainWindow, reinterpret_cast<HMENU>(IDC_TOOLBAR), shell.instance, nullptr);
    if (shell.toolbar == nullptr) return false;
    // The structure's size of this platform (32 bytes on 64-bit Windows).
    SendMessageW(shell.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(shell.toolbar, TB_SETINDENT, 4, 0);
    SendMessageW(shell.toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    TBADDBITMAP strip{shell.instance, IDB_TOOLBAR};
    SendMessageW(shell.toolbar, TB_ADDBITMAP, ToolbarImageCount, reinterpret_cast<LPARAM>(&strip));
    SendMessageW(shell.toolbar, TB_ADDBUTTONSW, ToolbarButtons.size(), reinterpret_cast<LPARAM>(ToolbarButtons.data()));
    SendMessageW(shell.toolbar, TB_AUTOSIZE, 0, 0);
    return true;
}

}  // namespace

Handled OnCreate(Application& app, UINT, WPARAM, LPARAM) {
    ShellState& shell = app.shell;
    constexpr Handled Fail = HandledWith(-1);  // makes CreateWindowExW fail

    shell.accelerators = LoadAcceleratorsW(shell.instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    if (shell.accelerators == nullptr) return Fail;
    shell.menu = GetMenu(shell.mainWindow);
    if (shell.menu == nullptr) return Fail;
    shell.WindowDC = GetDC(shell.mainWindow);
    shell.MemoryDC = CreateCompatibleDC(shell.WindowDC);
    if (shell.MemoryDC == nullptr) return Fail;

    const BitmapHeader header = MakeBitmapHeader(32);
    BITMAPINFO info{};
    static_assert(sizeof(info.bmiHeader) == 40);
    std::memcpy(&info.bmiHeader, header.data() + 14, sizeof(info.bmiHeader));
    void* bits = nullptr;
    shell.surface = CreateDIBSection(shell.MemoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (shell.surface == nullptr) return Fail;
    shell.pixels = static_cast<std::uint32_t*>(bits);
    app.viewer.displayPixels = shell.pixels;
    SelectObject(shell.MemoryDC, shell.surface);

    if (!CreateToolbar(shell)) return Fail;
    GetWindowRect(shell.toolbar, &shell.ToolbarRect);
    shell.InitialPlacement.rcNormalPosition.bottom = 560 + HeightOf(shell.ToolbarRect);

    shell.statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"Ready", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                      shell.mainWindow, reinterpret_cast<HMENU>(IDC_STATUS_BAR), shell.instance,
                                      nullptr);
    if (shell.statusBar == nullptr) return Fail;
    RECT status{};
    GetWindowRect(shell.statusBar, &status);
    shell.InitialPlacement.rcNormalPosition.bottom += HeightOf(status);
    SendMessageW(shell.statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(StatusPartEdges));
    return HandledWith(0);
}

int StartUp(Application& app) {
    ShellState& shell = app.shell;
    shell.instance = GetModuleHandleW(nullptr);
    if (shell.instance == nullptr) return 1;
    // Registers the toolbar and status bar classes of the common controls.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    const auto icon = static_cast<HICON>(LoadImageW(shell.instance, MAKEINTRESOURCEW(IDI_QARN), IMAGE_ICON, 32, 32, 0));
    shell.arrowCursor = SharedSystemCursor(IDC_ARROW);
    shell.waitCursor = SharedSystemCursor(IDC_WAIT);
    const auto smallIcon = static_cast<HICON>(
        LoadImageW(shell.instance, MAKEINTRESOURCEW(IDI_QARN), IMAGE_ICON, 16, 16, 0));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_OWNDC;
    windowClass.lpfnWndProc = MainWindowProcedure;
    windowClass.hInstance = shell.instance;
    windowClass.hIcon = icon;
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = ClassName;
    windowClass.hIconSm = smallIcon;
    if (RegisterClassExW(&windowClass) == 0) return 1;

    shell.mainWindow = nullptr;
    const HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, ClassName, Caption, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                        0, 0, 0, 0, nullptr, nullptr, shell.instance, &app);
    if (window == nullptr) return 1;
    shell.mainWindow = window;

    RECT& frame = shell.InitialPlacement.rcNormalPosition;
    AdjustWindowRect(&frame, WS_CAPTION | WS_SYSMENU, TRUE);
    SetWindowPlacement(window, &shell.InitialPlacement);

    ShowFirstPicture(app.viewer, app.desktop);
    LoadAutoScrollCursors(shell);
    return 0;
}

int MessageLoop(Application& app) {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) return -1;
        if (got == 0) return static_cast<int>(message.wParam);
        if (TranslateAcceleratorW(app.shell.mainWindow, app.shell.accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

Handled ExitCommand(Application& app, UINT, WPARAM, LPARAM) {
    ShellState& shell = app.shell;
    EndActivities(app.viewer, app.desktop, Action::CloseWindow);
    DeleteDC(shell.MemoryDC);
    DeleteObject(shell.surface);
    shell.MemoryDC = nullptr;
    shell.surface = nullptr;
    shell.pixels = nullptr;
    app.viewer.displayPixels = nullptr;
    DestroyWindow(shell.mainWindow);
    return HandledWith(0);
}

Handled OnDestroy(Application&, UINT, WPARAM, LPARAM) {
    PostQuitMessage(0);
    return HandledWith(0);
}

}  // namespace qarn
