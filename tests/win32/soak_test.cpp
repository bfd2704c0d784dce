// A soak under load: the automatic modes run while random commands, keys,
// clicks, wheel turns, loads, saves and About openings arrive at a high rate.
// The process's GDI and USER objects and its private memory must stay flat,
// no input handler may run inside another, after every action the status
// bar must hold a text the program defines, and the program must exit with 0.
// QARN_SOAK_SECONDS sets the length (default 45).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "shell/resources/resource_ids.h"
#include "viewer/file_commands.h"
#include "win32/gui_resources.h"
#include "win32/window_test_support.h"

namespace qarn {
namespace {

using testing::Pump;
using testing::StatusText;

struct Resources {
    DWORD gdi = 0;
    DWORD user = 0;
    SIZE_T privateBytes = 0;
};

Resources Measure() { return {testing::GdiObjects(), testing::UserObjects(), testing::PrivateBytes()}; }

// Watches the main window's messages: an input handler (a tick, a command,
// a key, a button, the wheel, a drop) running inside another is a handler
// re-entered. Painting may nest, and the soak opens no modal loop from
// inside a handler.
bool IsInputMessage(UINT message) {
    switch (message) {
    case WM_TIMER:
    case WM_COMMAND:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSEMOVE:
    case WM_DROPFILES:
    case WM_APPCOMMAND:
    case WM_MENUSELECT: return true;
    default: return false;
    }
}
WNDPROC ProgramProcedure = nullptr;
int InputDepth = 0;
int Reentries = 0;
UINT FirstReentry = 0;
LRESULT CALLBACK Watcher(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsInputMessage(message)) return CallWindowProcW(ProgramProcedure, window, message, wParam, lParam);
    if (InputDepth > 0 && Reentries++ == 0) FirstReentry = message;
    ++InputDepth;
    const LRESULT result = CallWindowProcW(ProgramProcedure, window, message, wParam, lParam);
    --InputDepth;
    return result;
}

// The texts the status bar may hold once a handler has returned: idle, a
// running mode, the shown square, or the text of a computation that ran
// while automatic zoom went on (it stays until the next step).
bool DefinedMessageText(const std::wstring& text) {
    static const std::wregex defined(
        L"Ready|Add Color Shifting\\.\\.\\.|Subtract Color Shifting\\.\\.\\."
        L"|Select a region and then use a Zoom In or Out command\\.\\.\\."
        L"|Auto Zooming (In |Out) to Level [0-5][0-9]\\.\\.\\.|Level [0-5][0-9]\\.\\.\\.");
    return std::regex_match(text, defined);
}
bool DefinedLevelText(const std::wstring& text) {
    static const std::wregex defined(L"Level [0-5][0-9] of 56");
    return std::regex_match(text, defined);
}

class Soak {
public:
    explicit Soak(Application& app) : app_(app), random_(20261207) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        folder_ = folder;
    }

    // One random action, as a user might do it, at any moment.
    void Act() {
        static const char* only = std::getenv("QARN_SOAK_ONLY");  // one kind of action, to find a culprit
        Act(only ? std::atoi(only) : Pick(0, 15));
    }

    // Every kind of action once, so that the window system's caches fill
    // before anything is measured. The About box stays open long enough to
    // be painted whole: one closed at once leaves part of what its first
    // full painting keeps for good (some 50 GDI objects under Wine) to a
    // later opening.
    void ActEach() {
        for (int kind = 0; kind <= 15; ++kind) Act(kind);
        Save(false);
        Load();
        Save(true);
        About(500);
    }

    void Act(int kind) {
        const HWND window = app_.shell.mainWindow;
        const int top = app_.shell.PictureRect.top;
        const LPARAM point = MAKELPARAM(Pick(0, 511), top + Pick(0, 511));
        switch (kind) {
        case 0: Command(Pick(IDM_ZERO_LEVEL, IDM_ZOOM_IN)); break;
        case 1: Command(Pick(IDM_SELECT_1, IDM_SELECT_4)); break;
        case 2: Command(Pick(IDM_AUTO_ZOOM_OUT, IDM_AUTOSCROLL)); break;
        case 3: Command(Pick(IDM_CONSTANT_SUBTRACT, IDM_CONSTANT_ADD)); break;
        case 4: Command(Pick(IDM_MONO_RED, IDM_PALETTE_NORMAL)); break;
        case 5: Command(Pick(IDM_DEPTH_EIGHTH, IDM_DEPTH_QUARTER)); break;
        case 6: SendMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(Pick(VK_LEFT, VK_DOWN)), 1); break;
        case 7: SendMessageW(window, WM_KEYDOWN, 'W', 1); break;
        case 8: SendMessageW(window, Pick(0, 1) ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, 0, point); break;
        case 9: SendMessageW(window, Pick(0, 1) ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK, 0, point); break;
        case 10: SendMessageW(window, WM_MBUTTONDOWN, 0, point); break;
        case 11: SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, Pick(0, 1) ? 120 : -120), 0); break;
        case 12: SendMessageW(window, WM_MOUSEMOVE, 0, point); break;
        case 13: Save(Pick(0, 1) == 0); break;
        case 14: Load(); break;
        default:
            if (Pick(0, 9) == 0)
                About();
            else
                SendMessageW(window, WM_APPCOMMAND, 0, MAKELPARAM(0, Pick(0, 1) ? 0x8001 : 0x8002));
            break;
        }
    }

    int saves = 0;
    int loads = 0;
    int abouts = 0;

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    void Command(int id) { SendMessageW(app_.shell.mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    void Save(bool bitmap) {
        const std::wstring name = folder_ + (bitmap ? L"qarn-soak.bmp" : L"qarn-soak.qarn");
        FileNameBuffer& buffer = app_.viewer.fileName;
        buffer.fill(0);
        std::memcpy(buffer.data(), name.c_str(), name.size() * sizeof(wchar_t));
        app_.viewer.fileDialog.extensionAt = name.find_last_of(L'.') + 1;
        SaveChosenFile(app_.viewer, app_.desktop);
        if (!bitmap) saved_ = true;
        ++saves;
    }

    void Load() {
        if (!saved_) return;
        SendMessageW(app_.shell.mainWindow, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(testing::MakeDrop({folder_ + L"qarn-soak.qarn"})), 0);
        ++loads;
    }

    // Opens the About box and closes it once it has been open for a while.
    void About(DWORD closeAfter = 20) {
        const DWORD opened = GetTickCount();
        testing::Script script({[&] {
            const HWND box = testing::ShownBoxOwnedBy(app_.shell.mainWindow);
            if (box == nullptr || GetTickCount() - opened < closeAfter) return false;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        }});
        script.Run([&] { return AboutCommand(app_, IDM_ABOUT, 0, 0); });
        ++abouts;
    }

    Application& app_;
    std::mt19937 random_;
    std::wstring folder_;
    bool saved_ = false;
};

TEST(Soak, ModesAndRandomActionsLeaveNothingBehind) {
    const char* setting = std::getenv("QARN_SOAK_SECONDS");
    const int seconds = setting ? std::atoi(setting) : 45;
    auto app = std::make_unique<Application>();
    ASSERT_EQ(StartUp(*app), 0);
    const HWND window = app->shell.mainWindow;
    ProgramProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Watcher)));

    Soak soak(*app);
    int statusChecks = 0;
    int undefinedTexts = 0;
    std::wstring firstUndefined;
    auto run = [&](DWORD milliseconds) {
        const DWORD end = GetTickCount() + milliseconds;
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            soak.Act();
            Pump(*app);
            const std::wstring message = StatusText(*app, 0);
            const std::wstring level = StatusText(*app, 1);
            ++statusChecks;
            if (!DefinedMessageText(message) || !DefinedLevelText(level)) {
                if (undefinedTexts++ == 0) firstUndefined = message + L" | " + level;
            }
            Sleep(2);
        }
    };
    // Warm up: every kind of action once, then a while of random ones.
    soak.ActEach();
    run(3000);
    Pump(*app);
    const Resources baseline = Measure();
    DWORD maxGdi = baseline.gdi;
    DWORD maxUser = baseline.user;
    SIZE_T maxPrivate = baseline.privateBytes;
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        // The modes run together as far as they allow: AutoScroll with
        // automatic zoom, automatic zoom with colour shifting.
        SendMessageW(window, WM_COMMAND, IDM_AUTOSCROLL, 0);
        SendMessageW(window, WM_COMMAND, IDM_AUTO_ZOOM_IN, 0);
        run(1500);
        SendMessageW(window, WM_COMMAND, IDM_ADD_SHIFTING, 0);
        SendMessageW(window, WM_COMMAND, IDM_AUTO_ZOOM_OUT, 0);
        run(1500);
        const Resources now = Measure();
        maxGdi = std::max(maxGdi, now.gdi);
        maxUser = std::max(maxUser, now.user);
        maxPrivate = std::max(maxPrivate, now.privateBytes);
    }
    // The last random action may have left a message of its own (the
    // selection square's hint): a zoom to level 0 ends with "Ready", which
    // the menu's help must give back when the menu closes.
    SendMessageW(window, WM_COMMAND, IDM_ZERO_LEVEL, 0);
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(app->shell.menu));
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0xFFFF, 0xFFFF), 0);
    Pump(*app);
    const Resources last = Measure();
    std::printf(
        "soak: %d s, %d saves, %d loads, %d About openings, %d status checks; GDI %lu..%lu, USER %lu..%lu, "
        "private %zu..%zu KiB\n",
        seconds, soak.saves, soak.loads, soak.abouts, statusChecks, baseline.gdi, maxGdi, baseline.user, maxUser,
        baseline.privateBytes / 1024, maxPrivate / 1024);
    EXPECT_LE(maxGdi, baseline.gdi + 2) << "GDI objects grow";
    EXPECT_LE(maxUser, baseline.user + 2) << "USER objects grow";
    EXPECT_EQ(last.gdi, baseline.gdi);
    EXPECT_EQ(last.user, baseline.user);
    EXPECT_LE(maxPrivate, baseline.privateBytes + 8 * 1024 * 1024) << "private memory grows";
    EXPECT_EQ(Reentries, 0) << "first: message 0x" << std::hex << FirstReentry;
    EXPECT_EQ(undefinedTexts, 0) << "first: " << std::string(firstUndefined.begin(), firstUndefined.end());

    // Every mode ended by the menu: the status bar is in a defined state.
    EXPECT_EQ(StatusText(*app, 0), L"Ready");
    const std::wstring level = StatusText(*app, 1);
    ASSERT_EQ(level.size(), 14u) << std::string(level.begin(), level.end());
    EXPECT_EQ(level.substr(0, 6), L"Level ");
    EXPECT_TRUE(iswdigit(level[6]) && iswdigit(level[7]));
    EXPECT_EQ(level.substr(8), L" of 56");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(MessageLoop(*app), 0);
}

}  // namespace
}  // namespace qarn
