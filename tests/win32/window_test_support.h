#pragma once
// What the Win32 tests share: delivering queued messages as the program's
// loop does, reading the status bar and the screen, a real drop, and a
// script that drives modal boxes from inside their own loops.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shell/application.h"

namespace qarn::testing {

using Pixels = std::vector<std::uint32_t>;

inline std::wstring StatusText(const Application& app, int part) {
    wchar_t text[256] = {};
    const LRESULT length = SendMessageW(app.shell.statusBar, SB_GETTEXTLENGTHW, part, 0);
    if (LOWORD(length) >= std::size(text)) return L"<too long>";
    SendMessageW(app.shell.statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

// Delivers what is queued, through the accelerators as the program's loop
// does, until nothing is left.
inline void Pump(Application& app) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (TranslateAcceleratorW(app.shell.mainWindow, app.shell.accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// width x height pixels at (x, y) of a device context, 0x00RRGGBB, top row
// first.
inline Pixels Capture(HDC source, int x, int y, int width, int height) {
    const HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP copy = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    Pixels pixels(first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(copy);
    DeleteDC(memory);
    return pixels;
}

// The same from a window's client area.
inline Pixels CaptureWindow(HWND window, int x, int y, int width, int height) {
    const HDC context = GetDC(window);
    Pixels pixels = Capture(context, x, y, width, height);
    ReleaseDC(window, context);
    return pixels;
}

// A real drop: a DROPFILES block made here, as the shell would make it.
inline HDROP MakeDrop(const std::vector<std::wstring>& names) {
    std::size_t characters = 1;
    for (const auto& name : names) characters += name.size() + 1;
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const auto& name : names) {
        std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        text += name.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

inline std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Dialog boxes of this thread, in the order the system lists them.
inline std::vector<HWND> ThreadDialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) -> BOOL {
            if (ClassOf(window) == L"#32770") reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The shown dialog box that owner owns, if there is one.
inline HWND ShownBoxOwnedBy(HWND owner) {
    for (HWND box : ThreadDialogs())
        if (GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box)) return box;
    return nullptr;
}

// Closes every box of the thread, innermost first: as Esc would at first,
// and then, for a box that ignores Esc, by ending its modal loop directly.
inline void CloseAllBoxes(bool force) {
    std::vector<HWND> boxes = ThreadDialogs();
    for (auto box = boxes.rbegin(); box != boxes.rend(); ++box)
        if (force)
            EndDialog(*box, 0);
        else
            PostMessageW(*box, WM_COMMAND, IDCANCEL, 0);
}

// A modal box keeps the thread in its own loop, so a test hands a script to
// a thread timer, which that loop dispatches. A script step looks at the
// boxes, may post them input, and says whether it is done; a step that is
// not done runs again at the next tick. After its time limit the script
// closes every box of the thread, so a failing test never hangs the suite.
class Script {
public:
    using Step = std::function<bool()>;

    explicit Script(std::vector<Step> steps, DWORD limit = 20000) : steps_(std::move(steps)), limit_(limit) {}
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;
    ~Script() { Stop(); }

    // Runs `open`, which opens a modal box, with this script driving it.
    template <typename Open>
    auto Run(Open open) {
        running_ = this;
        start_ = GetTickCount();
        timer_ = SetTimer(nullptr, 0, 10, Tick);
        const auto outcome = open();
        Stop();
        return outcome;
    }

    bool Completed() const { return next_ == steps_.size(); }
    bool TimedOut() const { return timedOut_; }

private:
    void Stop() {
        if (timer_ != 0) KillTimer(nullptr, timer_);
        timer_ = 0;
        if (running_ == this) running_ = nullptr;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        Script* script = running_;
        if (script == nullptr || script->busy_) return;
        script->busy_ = true;
        const DWORD now = GetTickCount();
        if (now - script->start_ > script->limit_) {
            // The watchdog: end whatever is still open, more firmly every
            // half second if a box ignores the first request.
            if (!script->timedOut_ || now - script->lastKick_ > 500) {
                CloseAllBoxes(script->timedOut_);
                script->timedOut_ = true;
                script->lastKick_ = now;
            }
        } else {
            while (script->next_ < script->steps_.size() && script->steps_[script->next_]()) ++script->next_;
        }
        script->busy_ = false;
    }

    static inline Script* running_ = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    DWORD limit_;
    DWORD start_ = 0;
    DWORD lastKick_ = 0;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
    bool timedOut_ = false;
};

}  // namespace qarn::testing
