// The About box and its text boxes, opened in this process through command
// 66 and driven from inside their modal loops by a script (see
// window_test_support.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "shell/resources/resource_ids.h"
#include "win32/gui_resources.h"
#include "win32/window_test_support.h"

namespace qarn {
namespace {

using testing::ClassOf;
using testing::Pixels;
using testing::Script;
using testing::ShownBoxOwnedBy;
using testing::TextOf;
using testing::ThreadDialogs;

// The animation square of a box: 32 x 32 at (16, 16) of its client area.
Pixels AnimationSquare(HWND box) { return testing::CaptureWindow(box, 16, 16, 32, 32); }

// Frame k of the strip, loaded as the box loads it and read back through
// the same path as the box's pixels.
Pixels StripFrame(int k) {
    const auto strip = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_ABOUT_FRAMES), IMAGE_BITMAP, 0, 0, 0));
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(memory, strip);
    Pixels pixels = testing::Capture(memory, 32 * k, 0, 32, 32);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DeleteObject(strip);
    return pixels;
}

// Posts a key press to the control that has the focus in box (or to the box
// itself), where the box's modal loop turns it into a command as the
// keyboard would.
void PressKey(HWND box, WPARAM key) {
    HWND target = GetFocus();
    if (target != box && !IsChild(box, target)) target = box;
    PostMessageW(target, WM_KEYDOWN, key, 0x00000001);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void ClickButton(HWND box, int id) { PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0); }

// What the tests learn about About boxes as they open and tick: a thread
// hook sees WM_INITDIALOG return, and a subclass of the box sees each tick
// of its animation timer together with the square before and after it.
struct FrameTick {
    DWORD time;
    Pixels before;
    Pixels after;
};

struct AboutWatch {
    HWND box = nullptr;
    DWORD openedAt = 0;  // when WM_INITDIALOG returned: the timer ran from before then
    int openings = 0;
    WNDPROC original = nullptr;
    std::vector<FrameTick> ticks;  // of the latest box
};
AboutWatch Watch;

LRESULT CALLBACK WatchedAboutProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC original = Watch.original;
    if (message != WM_TIMER || wParam != 256 || window != Watch.box)
        return CallWindowProcW(original, window, message, wParam, lParam);
    FrameTick tick{GetTickCount(), AnimationSquare(window), {}};
    const LRESULT result = CallWindowProcW(original, window, message, wParam, lParam);
    tick.after = AnimationSquare(window);
    Watch.ticks.push_back(std::move(tick));
    return result;
}

LRESULT CALLBACK WatchOpenings(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && ClassOf(call->hwnd) == L"#32770" &&
        TextOf(call->hwnd) == L"About Qarn") {
        Watch.box = call->hwnd;
        Watch.openedAt = GetTickCount();
        ++Watch.openings;
        Watch.ticks.clear();
        Watch.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(call->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchedAboutProcedure)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A text of the program's string table, as the text box loads it.
std::wstring ResourceText(UINT id) {
    wchar_t text[1024] = {};
    LoadStringW(GetModuleHandleW(nullptr), id, text, 1024);
    return text;
}

// What a text box showed while it was open.
struct TextBoxSeen {
    HWND box = nullptr;
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    bool aboutDisabled = false;
    bool focusOnOk = false;
    bool textFits = false;
    std::size_t ticksAtOpen = 0;
};

TextBoxSeen LookAtTextBox(HWND box) {
    TextBoxSeen seen;
    seen.box = box;
    seen.caption = TextOf(box);
    const HWND edit = GetDlgItem(box, IDC_TEXT);
    seen.text = TextOf(edit);
    seen.owner = GetWindow(box, GW_OWNER);
    seen.aboutDisabled = !IsWindowEnabled(seen.owner);
    seen.focusOnOk = GetFocus() == GetDlgItem(box, IDOK);
    seen.ticksAtOpen = Watch.ticks.size();
    // The whole text is in view: nothing scrolled away at the top, and the
    // last character's line ends inside the control.
    RECT client{};
    GetClientRect(edit, &client);
    const HDC context = GetDC(edit);
    const HGDIOBJ oldFont = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    SelectObject(context, oldFont);
    ReleaseDC(edit, context);
    if (seen.text.empty()) return seen;
    const LRESULT last = SendMessageW(edit, EM_POSFROMCHAR, seen.text.size() - 1, 0);
    const int lastBottom = static_cast<short>(HIWORD(last)) + metrics.tmHeight;
    seen.textFits = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0) == 0 && last != -1 && lastBottom <= client.bottom;
    return seen;
}

// The lines of a text separated by CR LF; a lone CR or LF is kept in its line.
std::vector<std::wstring> LinesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

class AboutBoxTest : public ::testing::Test {
protected:
    // The owner stands in for the main window, so these tests need neither
    // the real window nor any order among the suites.
    static void SetUpTestSuite() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"QarnAboutTestOwner";
        RegisterClassW(&windowClass);
        owner = CreateWindowExW(0, L"QarnAboutTestOwner", L"About box owner", WS_OVERLAPPEDWINDOW, 40, 40, 300, 200,
                                nullptr, nullptr, instance, nullptr);
        app = new Application;
        app->shell.instance = instance;
        app->shell.mainWindow = owner;
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
        DestroyWindow(owner);
        UnregisterClassW(L"QarnAboutTestOwner", GetModuleHandleW(nullptr));
    }
    void SetUp() override {
        ASSERT_NE(owner, nullptr);
        Watch = AboutWatch{};
        hook = SetWindowsHookExW(WH_CALLWNDPROCRET, WatchOpenings, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
    }
    void TearDown() override {
        UnhookWindowsHookEx(hook);
        EXPECT_TRUE(ThreadDialogs().empty()) << "a box outlived its test";
    }

    // Runs command 66 under the script and checks what every run must give.
    void RunAbout(Script& script) {
        const Handled outcome = script.Run([] { return DispatchWindowMessage(*app, WM_COMMAND, IDM_ABOUT, 0); });
        EXPECT_TRUE(outcome.handled);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_TRUE(script.Completed()) << "the script stopped before its end";
        EXPECT_FALSE(script.TimedOut()) << "the watchdog had to close the boxes";
        EXPECT_FALSE(IsWindow(Watch.box)) << "the box is destroyed when it closes";
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is enabled again";
    }

    static inline HWND owner = nullptr;
    static inline Application* app = nullptr;
    HHOOK hook = nullptr;
};

TEST_F(AboutBoxTest, CommandOpensTheBoxWithItsTextsAndOkClosesIt) {
    HWND box = nullptr;
    std::wstring caption;
    std::vector<std::wstring> labels;
    std::wstring ok, updates, acknowledgments;
    bool ownerDisabled = false;
    bool focusOnOk = false;
    Script script({
        [&] { return (box = ShownBoxOwnedBy(owner)) != nullptr; },
        [&] {
            caption = TextOf(box);
            for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
                if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0) labels.push_back(TextOf(child));
            ok = TextOf(GetDlgItem(box, IDOK));
            updates = TextOf(GetDlgItem(box, IDC_UPDATES));
            acknowledgments = TextOf(GetDlgItem(box, IDC_ACKNOWLEDGMENTS));
            ownerDisabled = !IsWindowEnabled(owner);
            focusOnOk = GetFocus() == GetDlgItem(box, IDOK);
            ClickButton(box, IDOK);
            return true;
        },
    });
    RunAbout(script);
    EXPECT_EQ(Watch.openings, 1);
    EXPECT_EQ(Watch.box, box);
    EXPECT_EQ(caption, L"About Qarn");
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[0], L"The Mandelbrot Set");
    EXPECT_EQ(labels[1], L"Version 2.0.0.1");
    for (const std::wstring& label : labels) EXPECT_FALSE(label.empty());
    EXPECT_EQ(ok, L"OK");
    EXPECT_EQ(updates, L"Updates");
    EXPECT_EQ(acknowledgments, L"Acknowledgments");
    EXPECT_TRUE(ownerDisabled) << "the box is modal";
    EXPECT_TRUE(focusOnOk);
}

TEST_F(AboutBoxTest, FirstFrameAfterOneTickThenTheFramesRiseAndFall) {
    const Pixels frames[3] = {StripFrame(0), StripFrame(1), StripFrame(2)};
    ASSERT_NE(frames[0], frames[1]);
    ASSERT_NE(frames[1], frames[2]);
    ASSERT_NE(frames[0], frames[2]);
    // Two openings: each starts again with frame 0. The second closes with
    // the close box.
    for (int opening = 0; opening < 2; ++opening) {
        HWND box = nullptr;
        const std::size_t wanted = opening == 0 ? 9 : 2;
        Script script({
            [&] { return (box = ShownBoxOwnedBy(owner)) != nullptr; },
            [&] { return Watch.ticks.size() >= wanted; },
            [&] {
                if (opening == 0)
                    PressKey(box, VK_ESCAPE);
                else
                    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
                return true;
            },
        });
        RunAbout(script);
        ASSERT_GE(Watch.ticks.size(), wanted);
        EXPECT_NE(Watch.ticks[0].before, frames[0]) << "no frame before the first tick";
        EXPECT_GE(Watch.ticks[0].time - Watch.openedAt, 150u) << "the first tick comes 200 ms after opening";
        const int cycle[] = {0, 1, 2, 1};
        for (std::size_t i = 0; i < wanted; ++i) {
            EXPECT_EQ(Watch.ticks[i].after, frames[cycle[i % 4]]) << "tick " << i << " of opening " << opening;
            if (i > 0) {
                EXPECT_GE(Watch.ticks[i].time - Watch.ticks[i - 1].time, 150u) << "tick " << i;
            }
        }
    }
    EXPECT_EQ(Watch.openings, 2);
}

TEST_F(AboutBoxTest, UpdatesAndAcknowledgmentsOpenTheTextBoxAndEscClosesOneBoxAtATime) {
    HWND about = nullptr;
    TextBoxSeen updates, acknowledgments;
    bool aboutOpenAfterEsc = false, aboutOpenAfterEnter = false;
    bool aboutEnabledAfterEsc = false;
    std::size_t ticksWhileUpdatesOpen = 0;
    Script script({
        [&] { return (about = ShownBoxOwnedBy(owner)) != nullptr; },
        [&] {
            ClickButton(about, IDC_UPDATES);
            return true;
        },
        [&] {
            const HWND box = ShownBoxOwnedBy(about);
            if (box == nullptr) return false;
            updates = LookAtTextBox(box);
            return true;
        },
        [&] {
            // The animation goes on behind the text box.
            ticksWhileUpdatesOpen = Watch.ticks.size() - updates.ticksAtOpen;
            if (ticksWhileUpdatesOpen < 2) return false;
            PressKey(updates.box, VK_ESCAPE);
            return true;
        },
        [&] {
            if (IsWindow(updates.box)) return false;
            aboutOpenAfterEsc = IsWindow(about) && IsWindowVisible(about);
            aboutEnabledAfterEsc = IsWindowEnabled(about);
            ClickButton(about, IDC_ACKNOWLEDGMENTS);
            return true;
        },
        [&] {
            const HWND box = ShownBoxOwnedBy(about);
            if (box == nullptr) return false;
            acknowledgments = LookAtTextBox(box);
            PressKey(box, VK_RETURN);
            return true;
        },
        [&] {
            if (IsWindow(acknowledgments.box)) return false;
            aboutOpenAfterEnter = IsWindow(about) && IsWindowVisible(about);
            PressKey(about, VK_ESCAPE);
            return true;
        },
    });
    RunAbout(script);

    EXPECT_EQ(updates.caption, L"Qarn Updates");
    EXPECT_EQ(updates.text, ResourceText(IDS_UPDATES_TEXT));
    EXPECT_EQ(updates.owner, about);
    EXPECT_TRUE(updates.aboutDisabled) << "the text box is modal";
    EXPECT_TRUE(updates.focusOnOk);
    EXPECT_TRUE(updates.textFits);
    EXPECT_GE(ticksWhileUpdatesOpen, 2u);
    EXPECT_TRUE(aboutOpenAfterEsc) << "Esc closes only the text box";
    EXPECT_TRUE(aboutEnabledAfterEsc);

    EXPECT_EQ(acknowledgments.caption, L"Qarn Acknowledgments");
    EXPECT_EQ(acknowledgments.text, ResourceText(IDS_ACKNOWLEDGMENTS_TEXT));
    EXPECT_EQ(acknowledgments.owner, about);
    EXPECT_TRUE(acknowledgments.focusOnOk);
    EXPECT_TRUE(acknowledgments.textFits);
    EXPECT_TRUE(aboutOpenAfterEnter) << "Enter closes only the text box";
    EXPECT_NE(updates.box, acknowledgments.box);
}

TEST_F(AboutBoxTest, TextsAreAboutTenShortLinesWithTheirBlankLines) {
    const std::vector<std::wstring> updates = LinesOf(ResourceText(IDS_UPDATES_TEXT));
    const std::vector<std::wstring> acknowledgments = LinesOf(ResourceText(IDS_ACKNOWLEDGMENTS_TEXT));
    for (const auto* lines : {&updates, &acknowledgments}) {
        EXPECT_GE(lines->size(), 9u);
        EXPECT_LE(lines->size(), 11u);
        for (const std::wstring& line : *lines) {
            EXPECT_LE(line.size(), 60u);
            EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "only CR LF breaks lines";
        }
    }
    // Updates: note, blank, where, blank, address, two blanks, greeting,
    // blank, e-mail.
    ASSERT_EQ(updates.size(), 10u);
    const bool updatesBlank[] = {false, true, false, true, false, true, true, false, true, false};
    for (std::size_t i = 0; i < updates.size(); ++i) EXPECT_EQ(updates[i].empty(), updatesBlank[i]) << i;
    EXPECT_EQ(updates[4].rfind(L"https://", 0), 0u);
    EXPECT_NE(updates[9].find(L'@'), std::wstring::npos);
    // Acknowledgments: testers (two lines), blank, tools (two lines and an
    // address), blank, image tool (two lines and an address).
    ASSERT_EQ(acknowledgments.size(), 10u);
    const bool acknowledgmentsBlank[] = {false, false, true, false, false, false, true, false, false, false};
    for (std::size_t i = 0; i < acknowledgments.size(); ++i)
        EXPECT_EQ(acknowledgments[i].empty(), acknowledgmentsBlank[i]) << i;
    EXPECT_EQ(acknowledgments[5].rfind(L"https://", 0), 0u);
    EXPECT_EQ(acknowledgments[9].rfind(L"https://", 0), 0u);
}

TEST_F(AboutBoxTest, OpeningAndClosingTwoHundredTimesLeavesNothingBehind) {
    // Open once first: the system may keep a cached context or font for the
    // kind of window after its first use.
    auto openAndClose = [&](int ticks, bool withOk) {
        Script script({
                          [&] { return ShownBoxOwnedBy(owner) != nullptr; },
                          [&] { return Watch.ticks.size() >= static_cast<std::size_t>(ticks); },
                          [&] {
                              const HWND box = ShownBoxOwnedBy(owner);
                              if (withOk)
                                  ClickButton(box, IDOK);
                              else
                                  PressKey(box, VK_ESCAPE);
                              return true;
                          },
                      },
                      5000);
        RunAbout(script);
        return script.Completed() && !script.TimedOut();
    };
    ASSERT_TRUE(openAndClose(1, true));

    const DWORD gdiBefore = testing::GdiObjects();
    const DWORD userBefore = testing::UserObjects();
    ASSERT_GT(gdiBefore, 0u);
    ASSERT_GT(userBefore, 0u);
    for (int i = 0; i < 200; ++i) {
        // Every 25th opening lets the animation run for a tick.
        ASSERT_TRUE(openAndClose(i % 25 == 0 ? 1 : 0, i % 2 == 0)) << "opening " << i;
    }
    const HWND last = Watch.box;
    const DWORD gdiAfter = testing::GdiObjects();
    const DWORD userAfter = testing::UserObjects();
    std::printf("[   INFO   ] GDI objects %lu before, %lu after; USER objects %lu before, %lu after (%s)\n",
                static_cast<unsigned long>(gdiBefore), static_cast<unsigned long>(gdiAfter),
                static_cast<unsigned long>(userBefore), static_cast<unsigned long>(userAfter),
                GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) ? "GetGuiResources"
                                                                    : "handle table and thread windows");
    RecordProperty("GdiObjectsBefore", static_cast<int>(gdiBefore));
    RecordProperty("GdiObjectsAfter", static_cast<int>(gdiAfter));
    RecordProperty("UserObjectsBefore", static_cast<int>(userBefore));
    RecordProperty("UserObjectsAfter", static_cast<int>(userAfter));
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(userAfter, userBefore);
    EXPECT_EQ(Watch.openings, 201);

    // The timer went with its window: no tick of it reaches the thread.
    EXPECT_FALSE(IsWindow(last));
    bool tickSeen = false;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 500) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_TIMER && message.wParam == 256) tickSeen = true;
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
    EXPECT_FALSE(tickSeen);
}

}  // namespace
}  // namespace qarn
