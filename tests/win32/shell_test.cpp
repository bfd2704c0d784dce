// The real main window, created in this process and read back.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "persistence/coordinate_file.h"
#include "shell/resources/resource_ids.h"
#include "win32/window_test_support.h"

namespace qarn {
namespace {

using testing::Pump;
using testing::StatusText;

void PressKey(Application& app, WPARAM key) {
    PostMessageW(app.shell.mainWindow, WM_KEYDOWN, key, 1);
    PostMessageW(app.shell.mainWindow, WM_KEYUP, key, 0xC0000001);
    Pump(app);
}

// The picture as the window shows it, read back from the screen, top row
// first.
std::vector<std::uint32_t> PictureOnScreen(const Application& app) {
    return testing::CaptureWindow(app.shell.mainWindow, 0, app.shell.PictureRect.top, 512, 512);
}

// The picture on the screen shows the display surface (stored bottom-up),
// checked at every rowStep-th row and colStep-th column.
void ExpectPictureShowsSurface(const Application& app, int rowStep, int colStep) {
    const auto shown = PictureOnScreen(app);
    const std::uint32_t* surface = app.shell.pixels;
    for (int row = 0; row < 512; row += rowStep)
        for (int col = 0; col < 512; col += colStep)
            ASSERT_EQ(shown[static_cast<std::size_t>(row) * 512 + col],
                      surface[static_cast<std::size_t>(511 - row) * 512 + col] & 0xFFFFFF)
                << col << ", " << row;
}

// The start-up bitmap that qarn-render writes, as top-down 0x00RRGGBB.
std::vector<std::uint32_t> RenderedStartUp() {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    const std::wstring output = folder + L"win32-test-start.bmp";
    std::wstring command = L"\"" + folder + L"qarn-render.exe\" -o \"" + output + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream file(std::filesystem::path(output), std::ios::binary);
    std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(file), {});
    if (bytes.size() != 786486) return {};
    std::vector<std::uint32_t> pixels(512 * 512);
    for (int row = 0; row < 512; ++row)  // file rows are bottom-up
        for (int col = 0; col < 512; ++col) {
            const unsigned char* p = &bytes[54 + (static_cast<std::size_t>(511 - row) * 512 + col) * 3];
            pixels[static_cast<std::size_t>(row) * 512 + col] = p[2] << 16 | p[1] << 8 | p[0];
        }
    return pixels;
}

// One program for the whole suite: its window lives until the last test.
class ShellTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app = new Application;
        ASSERT_EQ(StartUp(*app), 0);
        Pump(*app);
    }
    static void TearDownTestSuite() {}
    static Application* app;
};
Application* ShellTest::app = nullptr;

TEST_F(ShellTest, ClientAreaHoldsToolbarPictureAndStatusBar) {
    RECT client{};
    GetClientRect(app->shell.mainWindow, &client);
    RECT toolbar{}, status{};
    GetWindowRect(app->shell.toolbar, &toolbar);
    GetWindowRect(app->shell.statusBar, &status);
    const int t = toolbar.bottom - toolbar.top;
    const int s = status.bottom - status.top;
    EXPECT_GT(t, 0);
    EXPECT_GT(s, 0);
    EXPECT_EQ(client.right, 512);
    EXPECT_EQ(client.bottom, 512 + t + s);
    EXPECT_EQ(app->shell.PictureRect.left, 0);
    EXPECT_EQ(app->shell.PictureRect.top, t);
    EXPECT_EQ(app->shell.PictureRect.right, 512);
    EXPECT_EQ(app->shell.PictureRect.bottom, t + 512);

    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT origin{0, 0};
    ClientToScreen(app->shell.mainWindow, &origin);
    EXPECT_EQ(origin.x, work.left + 144);
    EXPECT_EQ(origin.y, work.top + 48);

    wchar_t caption[64] = {};
    GetWindowTextW(app->shell.mainWindow, caption, 64);
    EXPECT_STREQ(caption, L"The Mandelbrot Set");
    wchar_t className[64] = {};
    GetClassNameW(app->shell.mainWindow, className, 64);
    EXPECT_STREQ(className, L"Qarn");
    EXPECT_TRUE(GetWindowLongPtrW(app->shell.mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // Two status parts: messages up to x 400, the level to the right edge.
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(app->shell.statusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 400);
    EXPECT_EQ(edges[1], -1);
}

TEST_F(ShellTest, MinimisingAndRestoringKeepsTheLayoutAndThePicture) {
    const RECT before = app->shell.PictureRect;
    RECT clientBefore{};
    GetClientRect(app->shell.mainWindow, &clientBefore);
    ShowWindow(app->shell.mainWindow, SW_MINIMIZE);
    ShowWindow(app->shell.mainWindow, SW_RESTORE);
    UpdateWindow(app->shell.mainWindow);
    EXPECT_TRUE(EqualRect(&before, &app->shell.PictureRect));
    RECT client{};
    GetClientRect(app->shell.mainWindow, &client);
    EXPECT_TRUE(EqualRect(&clientBefore, &client));
    ExpectPictureShowsSurface(*app, 31, 23);
}

TEST_F(ShellTest, PictureAfterStartUpIsTheRenderersBitmap) {
    const auto expected = RenderedStartUp();
    ASSERT_EQ(expected.size(), 512u * 512u) << "qarn-render.exe did not write the start-up bitmap";
    const auto shown = PictureOnScreen(*app);
    EXPECT_TRUE(shown == expected);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 00 of 56");
}

TEST_F(ShellTest, ZoomCommandsFromMenuKeysAndToolbarIds) {
    SendMessageW(app->shell.mainWindow, WM_COMMAND, IDM_ZOOM_IN, 0);
    EXPECT_EQ(app->viewer.engine.view.ZoomLevel, 1);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 01 of 56");
    EXPECT_EQ(app->viewer.engine.view.OriginRe, -1.0L);

    PressKey(*app, VK_RETURN);  // Zoom In
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 02 of 56");
    PressKey(*app, VK_DECIMAL);  // Zoom Out
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 01 of 56");
    PressKey(*app, VK_RETURN);
    PressKey(*app, '0');  // Zero level reset
    EXPECT_EQ(app->viewer.engine.view.ZoomLevel, 0);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 00 of 56");
    PressKey(*app, VK_RETURN);
    PressKey(*app, VK_NUMPAD0);
    EXPECT_EQ(app->viewer.engine.view.ZoomLevel, 0);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 00 of 56");
    SendMessageW(app->shell.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_ZOOM_IN, 1), 0);  // from an accelerator
    SendMessageW(app->shell.mainWindow, WM_COMMAND, IDM_ZOOM_OUT, 0);
    EXPECT_EQ(app->viewer.engine.view.ZoomLevel, 0);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(app->viewer.engine.view.OriginRe, -2.0L);
}

struct MenuRow {
    const wchar_t* text;  // nullptr: a separator
    UINT id;
    UINT type;
    bool checked;
};

TEST_F(ShellTest, MenuItemsTextsIdsAndMarks) {
    const std::vector<std::vector<MenuRow>> menus = {
        {{L"&Load...\tCtrl+L", 36, MFT_STRING, false},
         {L"Save &As...\tCtrl+A", 37, MFT_STRING, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"E&xit\tEsc", 38, MFT_STRING, false}},
        {{L"Select &1 level Zoom\t1 or Mouse Wheel", 42, MFT_RADIOCHECK, true},
         {L"Select &2 level Zoom\t2 or Mouse Wheel", 43, MFT_RADIOCHECK, false},
         {L"Select &3 level Zoom\t3 or Mouse Wheel", 44, MFT_RADIOCHECK, false},
         {L"Select &4 level Zoom\t4 or Mouse Wheel", 45, MFT_RADIOCHECK, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"Zoom &In 1-4 levels\tEnter or Left Mouse Button", 41, MFT_STRING, false},
         {L"Zoom &Out 1-4 levels\t. or Right Mouse Button", 40, MFT_STRING, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"Auto Zoom In to &End\tEnd or Left Mouse Double Click", 47, MFT_STRING, false},
         {L"Auto Zoom Out to &Home\tHome or Right Mouse Double Click", 46, MFT_STRING, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"&Zero level reset\t0", 39, MFT_STRING, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"Auto&Scroll\tMiddle Mouse Button", 48, MFT_STRING, false}},
        {{L"&Constant Subtract Shift\t/", 49, MFT_STRING, false},
         {L"&Subtract Shifting\t- or Mouse Thumb Button", 50, MFT_STRING, false},
         {L"&Restore\tBackspace", 51, MFT_STRING, false},
         {L"&Add Shifting\t+ or Mouse Thumb Button", 52, MFT_STRING, false},
         {L"&Constant Add Shift\t*", 53, MFT_STRING, false},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"Monochromatic &Red\tR", 54, MFT_STRING, true},
         {L"Monochromatic &Green\tG", 55, MFT_STRING, true},
         {L"Monochromatic &Blue\tB", 56, MFT_STRING, true},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"&Monochromatic Palette\t5", 57, MFT_RADIOCHECK, false},
         {L"&Eighth Palette\t6", 58, MFT_RADIOCHECK, false},
         {L"&Quarter Palette\t7", 59, MFT_RADIOCHECK, false},
         {L"&Half Palette\t8", 60, MFT_RADIOCHECK, false},
         {L"&Normal Palette\t9", 61, MFT_RADIOCHECK, true},
         {nullptr, 0, MFT_SEPARATOR, false},
         {L"&Eighth Depth\tE", 62, MFT_RADIOCHECK, true},
         {L"&Quarter Depth\tQ", 63, MFT_RADIOCHECK, false},
         {L"&Half Depth\tH", 64, MFT_RADIOCHECK, false},
         {L"&Normal Depth\tN", 65, MFT_RADIOCHECK, false}},
        {{L"&About Qarn", 66, MFT_STRING, false}},
    };
    const wchar_t* titles[] = {L"&File", L"&View", L"&Colors", L"&Help"};
    const HMENU bar = app->shell.menu;
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    for (int m = 0; m < 4; ++m) {
        wchar_t title[64] = {};
        GetMenuStringW(bar, static_cast<UINT>(m), title, 64, MF_BYPOSITION);
        EXPECT_STREQ(title, titles[m]);
        const HMENU popup = GetSubMenu(bar, m);
        const auto& rows = menus[static_cast<std::size_t>(m)];
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(rows.size())) << titles[m];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            wchar_t text[128] = {};
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
            item.dwTypeData = text;
            item.cch = 128;
            ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item));
            const MenuRow& row = rows[i];
            if (row.text == nullptr) {
                EXPECT_TRUE(item.fType & MFT_SEPARATOR) << titles[m] << " item " << i;
                continue;
            }
            EXPECT_STREQ(text, row.text);
            EXPECT_EQ(item.wID, row.id);
            EXPECT_EQ(item.fType & (MFT_RADIOCHECK | MFT_SEPARATOR), row.type & (MFT_RADIOCHECK | MFT_SEPARATOR))
                << row.id;
            EXPECT_EQ((item.fState & MFS_CHECKED) != 0, row.checked) << row.id;
            EXPECT_EQ(item.fState & (MFS_DISABLED | MFS_GRAYED), 0u) << row.id;
        }
    }
}

bool MenuMarked(const Application& app, int command) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    GetMenuItemInfoW(app.shell.menu, static_cast<UINT>(command), FALSE, &item);
    return (item.fState & MFS_CHECKED) != 0;
}

TEST_F(ShellTest, ToolbarButtonsAndTheirStates) {
    const HWND toolbar = app->shell.toolbar;
    ASSERT_EQ(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 24);
    const int commands[24] = {36, 37, 0,  42, 43, 44, 45, 0, 49, 50, 51, 52,
                              53, 0,  57, 58, 59, 60, 61, 0, 62, 63, 64, 65};
    int image = 0;
    for (int i = 0; i < 24; ++i) {
        TBBUTTON button{};
        ASSERT_TRUE(SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        if (commands[i] == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << "position " << i;
            continue;
        }
        EXPECT_EQ(button.idCommand, commands[i]);
        EXPECT_EQ(button.iBitmap, image++);
        EXPECT_EQ(button.fsStyle & BTNS_CHECK, 0) << "plain push buttons";
        EXPECT_EQ((button.fsState & TBSTATE_CHECKED) != 0, MenuMarked(*app, commands[i])) << "as its menu item";
        EXPECT_TRUE(button.fsState & TBSTATE_ENABLED) << commands[i];
    }
    EXPECT_EQ(image, 20);
}

// The menu table above is the one list of commands; these hold for each.
TEST_F(ShellTest, EveryCommandHasAHandlerAHelpStringAndEveryButtonATooltip) {
    std::vector<int> ids;
    for (int m = 0; m < GetMenuItemCount(app->shell.menu); ++m) {
        const HMENU popup = GetSubMenu(app->shell.menu, m);
        for (int i = 0; i < GetMenuItemCount(popup); ++i)
            if (const UINT id = GetMenuItemID(popup, i); id != 0) ids.push_back(static_cast<int>(id));
    }
    std::sort(ids.begin(), ids.end());
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(IDM_LAST - IDM_FIRST + 1));
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], IDM_FIRST + static_cast<int>(i)) << "each command once, all in the command table";
    for (int id : ids) {
        wchar_t help[256] = {};
        EXPECT_GT(LoadStringW(app->shell.instance, static_cast<UINT>(id), help, 256), 0) << id;
    }

    const HWND toolbar = app->shell.toolbar;
    for (int i = 0; i < SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0); ++i) {
        TBBUTTON button{};
        SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if (button.fsStyle & BTNS_SEP) continue;
        EXPECT_TRUE(std::binary_search(ids.begin(), ids.end(), button.idCommand)) << button.idCommand;
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = toolbar;
        info.hdr.idFrom = static_cast<UINT_PTR>(button.idCommand);
        info.hdr.code = TTN_GETDISPINFOW;
        EXPECT_EQ(SendMessageW(app->shell.mainWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), 0);
        ASSERT_TRUE(IS_INTRESOURCE(info.lpszText));
        EXPECT_EQ(info.hinst, app->shell.instance);
        wchar_t text[128] = {};
        LoadStringW(info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.lpszText)), text, 128);
        EXPECT_NE(text[0], L'\0') << button.idCommand;
        if (button.idCommand == IDM_SELECT_1) {
            EXPECT_STREQ(text, L"Zoom Selection 1 level");
        }
    }
    NMHDR other{toolbar, 0, static_cast<UINT>(NM_CLICK)};
    EXPECT_FALSE(DispatchWindowMessage(*app, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other)).handled);
}

TEST_F(ShellTest, MenuHelpInTheStatusBar) {
    const HWND window = app->shell.mainWindow;
    const HWND status = app->shell.statusBar;
    auto select = [&](UINT item, UINT flags, HMENU menu) {
        SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(item, flags), reinterpret_cast<LPARAM>(menu));
    };
    const HMENU file = GetSubMenu(app->shell.menu, 0);
    select(1, MF_POPUP | MF_HILITE, app->shell.menu);
    EXPECT_TRUE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(StatusText(*app, 0), L"Contains commands for selecting and changing the view region.");
    select(0, MF_POPUP | MF_HILITE, app->shell.menu);
    EXPECT_EQ(StatusText(*app, 0), L"Contains commands for working with files.");
    select(IDM_EXIT, MF_HILITE, file);
    EXPECT_EQ(StatusText(*app, 0), L"Quits Qarn.");
    select(IDM_ZOOM_IN, MF_HILITE, GetSubMenu(app->shell.menu, 1));
    EXPECT_EQ(StatusText(*app, 0),
              L"Zooms In to the selected region or towards the mouse pointer (center of the display for Enter key).");
    select(0, MF_SEPARATOR | MF_HILITE, file);
    EXPECT_EQ(StatusText(*app, 0), L"");
    select(0xFFFF, 0xFFFF, nullptr);  // the menu closes
    EXPECT_FALSE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    EXPECT_EQ(StatusText(*app, 1), L"Level 00 of 56");
}

TEST_F(ShellTest, OnlyIdentifiersOfTheProgramAreHandled) {
    EXPECT_FALSE(DispatchWindowMessage(*app, WM_COMMAND, 35, 0).handled);
    EXPECT_FALSE(DispatchWindowMessage(*app, WM_COMMAND, 67, 0).handled);
    EXPECT_TRUE(DispatchWindowMessage(*app, WM_COMMAND, IDM_ZERO_LEVEL, 0).handled);
    EXPECT_FALSE(DispatchWindowMessage(*app, WM_MOVE, 0, 0).handled) << "no row: the default procedure";
}

TEST_F(ShellTest, PaintingCoversOnlyThePicture) {
    // A repaint of the whole client area, background erase included, shows
    // the display surface in the picture, row 0 at the top.
    RedrawWindow(app->shell.mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ExpectPictureShowsSurface(*app, 37, 29);
}

// Picture pixels that differ from the display surface: where an outline is.
int PixelsOffTheSurface(const Application& app, std::vector<std::pair<int, int>>* where = nullptr) {
    const auto shown = PictureOnScreen(app);
    const std::uint32_t* surface = app.shell.pixels;
    int count = 0;
    for (int row = 0; row < 512; ++row)
        for (int col = 0; col < 512; ++col)
            if (shown[static_cast<std::size_t>(row) * 512 + col] !=
                (surface[static_cast<std::size_t>(511 - row) * 512 + col] & 0xFFFFFF)) {
                ++count;
                if (where) where->push_back({col, row});
            }
    return count;
}

TEST_F(ShellTest, SelectionOutlineAppearsFollowsThePointerAndLeavesNoTrace) {
    const HWND window = app->shell.mainWindow;
    const int top = app->shell.PictureRect.top;
    SendMessageW(window, WM_COMMAND, IDM_ZERO_LEVEL, 0);
    ASSERT_EQ(PixelsOffTheSurface(*app), 0);
    SendMessageW(window, WM_COMMAND, IDM_SELECT_2, 0);  // 128 pixels about the centre
    std::vector<std::pair<int, int>> outline;
    EXPECT_GT(PixelsOffTheSurface(*app, &outline), 100);
    for (const auto& [col, row] : outline) {
        const bool onEdge = col == 192 || col == 319 || row == 192 || row == 319;
        ASSERT_TRUE(onEdge && col >= 192 && col <= 319 && row >= 192 && row <= 319) << col << ", " << row;
    }
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(100, top + 100));
    outline.clear();
    EXPECT_GT(PixelsOffTheSurface(*app, &outline), 100);
    for (const auto& [col, row] : outline) ASSERT_TRUE(col >= 36 && col <= 163 && row >= 36 && row <= 163);
    SendMessageW(window, WM_COMMAND, IDM_SELECT_2, 0);  // the shown level again: hidden
    EXPECT_EQ(PixelsOffTheSurface(*app), 0) << "no trace left";
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
}

// Every check mark of the menu, and the pressed look of its button where
// it has one, says what the viewer's settings are.
void ExpectMarksFollowTheSettings(const Application& app, const char* after) {
    const Viewer& viewer = app.viewer;
    const ViewState& view = viewer.engine.view;
    auto expect = [&](int command, bool marked) {
        EXPECT_EQ(MenuMarked(app, command), marked) << command << " after " << after;
        if (SendMessageW(app.shell.toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0) >= 0) {
            EXPECT_EQ(SendMessageW(app.shell.toolbar, TB_ISBUTTONCHECKED, static_cast<WPARAM>(command), 0) != 0, marked)
                << command << " after " << after;
        }
    };
    for (int levels = 1; levels <= 4; ++levels) expect(IDM_SELECT_1 + levels - 1, viewer.SelectionLevels == levels);
    for (int bit = 0; bit < 3; ++bit) expect(IDM_MONO_BLUE - bit, (view.PaletteMode >> bit & 1) != 0);
    for (int i = 0; i < 5; ++i) expect(IDM_PALETTE_MONO + i, (view.PaletteMode & ~0xFFu) == (256u << i));
    for (int i = 0; i < 4; ++i) expect(IDM_DEPTH_EIGHTH + i, view.Depth == (512u << i));
}

TEST_F(ShellTest, CheckMarksFollowTheSettings) {
    const HWND window = app->shell.mainWindow;
    ExpectMarksFollowTheSettings(*app, "the tests before");
    // Every command that moves a mark, once or more: the levels shown,
    // hidden and reset by automatic zoom, the palettes up (computing deeper
    // each time), the depths down, each component off and on again.
    std::vector<int> commands{IDM_SELECT_3, IDM_SELECT_3, IDM_SELECT_4, IDM_AUTO_ZOOM_IN};
    for (int id = IDM_PALETTE_FIRST; id <= IDM_PALETTE_LAST; ++id) commands.push_back(id);
    for (int id = IDM_DEPTH_LAST; id >= IDM_DEPTH_FIRST; --id) commands.push_back(id);
    for (int id = IDM_MONO_FIRST; id < IDM_PALETTE_FIRST; ++id) commands.insert(commands.end(), {id, id});
    commands.push_back(IDM_PALETTE_NORMAL);
    for (int command : commands) {
        SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
        ExpectMarksFollowTheSettings(*app, std::to_string(command).c_str());
    }
    SendMessageW(window, WM_COMMAND, IDM_ZERO_LEVEL, 0);
    SendMessageW(window, WM_COMMAND, IDM_SELECT_1, 0);
    SendMessageW(window, WM_COMMAND, IDM_SELECT_1, 0);
    ExpectMarksFollowTheSettings(*app, "back to the start");
    EXPECT_EQ(app->viewer.engine.view.PaletteMode, 4096u + 7);
}

// The status bar's window procedure, watching the cursor while a zoom
// shows its progress text.
WNDPROC OriginalStatusProcedure = nullptr;
HCURSOR CursorDuringProgress = nullptr;
LRESULT CALLBACK WatchingStatusProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SB_SETTEXTW && wParam == 0 && lParam != 0 &&
        std::wstring(reinterpret_cast<const wchar_t*>(lParam)).find(L"...") != std::wstring::npos)
        CursorDuringProgress = GetCursor();
    return CallWindowProcW(OriginalStatusProcedure, window, message, wParam, lParam);
}

TEST_F(ShellTest, WaitCursorWhileAZoomComputes) {
    const HWND status = app->shell.statusBar;
    OriginalStatusProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingStatusProcedure)));
    SendMessageW(app->shell.mainWindow, WM_COMMAND, IDM_ZOOM_IN, 0);
    SetWindowLongPtrW(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OriginalStatusProcedure));
    EXPECT_EQ(CursorDuringProgress, LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW)) << "the arrow afterwards";
    SendMessageW(app->shell.mainWindow, WM_COMMAND, IDM_ZERO_LEVEL, 0);
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

std::vector<std::uint8_t> FileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

FileError Write(Application& app, const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const std::array<std::span<const std::uint8_t>, 1> parts{bytes};
    return app.desktop.WriteDataFile(reinterpret_cast<const char16_t*>(path.c_str()), parts);
}

TEST_F(ShellTest, DataFilesAreReplacedWholeOrNotAtAll) {
    const std::wstring path = TempPath(L"qarn-shell-test.qarn");
    DeleteFileW(path.c_str());
    ASSERT_EQ(Write(*app, path, std::vector<std::uint8_t>(100, 7)), NoError);
    ASSERT_EQ(Write(*app, path, std::vector<std::uint8_t>(46, 1)), NoError);
    EXPECT_EQ(FileBytes(path), std::vector<std::uint8_t>(46, 1)) << "no older, longer content remains";

    // The new content is written beside the target under a name of its own:
    // a file of the user's that looks like it is left alone, and a name
    // near the length limit still saves.
    const std::wstring lookalike = path + L".saving";
    ASSERT_EQ(Write(*app, lookalike, std::vector<std::uint8_t>(5, 9)), NoError);
    EXPECT_EQ(Write(*app, path, std::vector<std::uint8_t>(46, 1)), NoError);
    EXPECT_EQ(FileBytes(lookalike), std::vector<std::uint8_t>(5, 9));
    DeleteFileW(lookalike.c_str());
    std::wstring longest = TempPath(L"");
    longest += std::wstring(MAX_PATH - 1 - longest.size() - 5, L'q') + L".qarn";
    ASSERT_EQ(longest.size(), static_cast<std::size_t>(MAX_PATH - 1));
    EXPECT_EQ(Write(*app, longest, std::vector<std::uint8_t>(46, 5)), NoError);
    EXPECT_EQ(FileBytes(longest), std::vector<std::uint8_t>(46, 5));
    DeleteFileW(longest.c_str());

    // Held open by another program: the write is refused and the file stays.
    HANDLE other = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Write(*app, path, std::vector<std::uint8_t>(46, 2)), SystemFileError(ERROR_SHARING_VIOLATION));
    CloseHandle(other);
    EXPECT_EQ(FileBytes(path), std::vector<std::uint8_t>(46, 1));

    // Read-only: it cannot be saved over, but it loads.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine running as root cannot make a file read-only for us: check the
    // refusal only where the system enforces the attribute.
    HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool enforced = probe == INVALID_HANDLE_VALUE;
    if (!enforced) CloseHandle(probe);
    if (enforced) {
        EXPECT_EQ(Write(*app, path, std::vector<std::uint8_t>(46, 3)), SystemFileError(ERROR_ACCESS_DENIED));
        EXPECT_EQ(FileBytes(path), std::vector<std::uint8_t>(46, 1));
    }
    std::array<std::uint8_t, 47> into{};
    std::size_t got = 0;
    std::uint64_t size = 0;
    EXPECT_EQ(app->desktop.ReadDataFile(reinterpret_cast<const char16_t*>(path.c_str()), into, got, size), NoError);
    EXPECT_EQ(got, 46u);
    EXPECT_EQ(size, 46u);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());

    // A load never creates a file.
    EXPECT_EQ(app->desktop.ReadDataFile(reinterpret_cast<const char16_t*>(path.c_str()), into, got, size),
              SystemFileError(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ShellTest, DroppingFilesLoadsTheFirst) {
    const std::wstring first = TempPath(L"qarn-drop-1.qarn");
    ViewState view;
    view.OriginRe = -1.0L;
    view.OriginIm = 1.0L;
    view.PixelStep = 0.00390625L;
    view.ZoomLevel = 1;
    const auto record = EncodeViewState(view);
    ASSERT_EQ(Write(*app, first, std::vector<std::uint8_t>(record.begin(), record.end())), NoError);
    SendMessageW(app->shell.mainWindow, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(
                     testing::MakeDrop({first, TempPath(L"missing-2.qarn"), TempPath(L"missing-3.qarn")})),
                 0);
    EXPECT_EQ(app->viewer.engine.view.ZoomLevel, 1);
    EXPECT_EQ(app->viewer.engine.view.OriginRe, -1.0L);
    EXPECT_EQ(StatusText(*app, 1), L"Level 01 of 56");
    DeleteFileW(first.c_str());
    SendMessageW(app->shell.mainWindow, WM_COMMAND, IDM_ZERO_LEVEL, 0);
}

TEST_F(ShellTest, RepeatedShiftingShowsItsStatus) {
    const HWND window = app->shell.mainWindow;
    SendMessageW(window, WM_COMMAND, IDM_SUBTRACT_SHIFTING, 0);
    EXPECT_EQ(StatusText(*app, 0), L"Subtract Color Shifting...");
    SendMessageW(window, WM_COMMAND, IDM_RESTORE, 0);
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
}

// Runs last: closing ends the program's loop with exit code 0; Esc does the
// same through the accelerator table.
TEST_F(ShellTest, ActivationRepaintsThePicture) {
    const HWND window = app->shell.mainWindow;
    const int top = app->shell.PictureRect.top;
    const HDC dc = GetDC(window);
    const RECT spoiled{100, top + 100, 200, top + 200};
    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    FillRect(dc, &spoiled, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
    ASSERT_GT(PixelsOffTheSurface(*app), 0);
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(PixelsOffTheSurface(*app), 0);
}

TEST_F(ShellTest, BackgroundEraseFillsOnlyTheToolbarBand) {
    const HWND window = app->shell.mainWindow;
    const int top = app->shell.PictureRect.top;
    RECT client{};
    GetClientRect(window, &client);
    const HDC screen = GetDC(window);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP canvas = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, canvas);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    constexpr std::uint32_t Magenta = 0xFF00FF;
    std::fill(pixels, pixels + client.right * client.bottom, Magenta);

    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
    GdiFlush();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t faceRgb = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    auto at = [&](int x, int y) { return pixels[y * client.right + x] & 0xFFFFFF; };
    for (int x : {0, 255, 511}) {
        EXPECT_EQ(at(x, 0), faceRgb) << x;
        EXPECT_EQ(at(x, top - 1), faceRgb) << x;
        EXPECT_EQ(at(x, top), Magenta) << x << ": the picture is painted, never erased";
        EXPECT_EQ(at(x, client.bottom - 1), Magenta) << x << ": the status bar paints itself";
    }
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(window, screen);
}

TEST_F(ShellTest, ZzzCloseBoxAndEscEndWithExitCodeZero) {
    PostMessageW(app->shell.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(MessageLoop(*app), 0);
    EXPECT_FALSE(IsWindow(app->shell.mainWindow));
    ASSERT_TRUE(UnregisterClassW(L"Qarn", GetModuleHandleW(nullptr)));

    auto second = std::make_unique<Application>();
    ASSERT_EQ(StartUp(*second), 0);
    PostMessageW(second->shell.mainWindow, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(MessageLoop(*second), 0);
    EXPECT_FALSE(IsWindow(second->shell.mainWindow));
}

}  // namespace
}  // namespace qarn
