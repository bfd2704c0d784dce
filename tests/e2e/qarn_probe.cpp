// qarn-probe: reports where a running Qarn window shows its picture, for the
// end-to-end test and scripts/run, which drive the viewer from outside with
// X input and screenshots.
//
//   qarn-probe [--wait-ready SECONDS]
//
// Looks for the top-level window of class "Qarn" of a qarn.exe process and
// prints one line:  origin_x origin_y toolbar_height status0
//   origin          the screen position of the main window's client (0,0)
//   toolbar_height  the height of the toolbar (control 240); the picture
//                   starts that far below the client origin
//   status0         the text of the status bar's first part (control 241)
// With --wait-ready it first waits until the window is visible and its status
// says "Ready", for at most SECONDS.
//
// Exit codes: 0 printed; 1 no Qarn window; 2 usage; 3 --wait-ready timed out
// (the line is still printed when a window was found).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

constexpr int ToolbarId = 240;
constexpr int StatusBarId = 241;

struct Report {
    POINT origin{};
    int toolbarHeight = 0;
    std::wstring status;
    bool visible = false;
};

// True if the window belongs to a process started from a file named qarn.exe.
// Test programs that create the main window in their own process share the
// class name (and, in one Wine prefix, the desktop), but not the file name.
bool OfViewerProcess(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return false;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = static_cast<DWORD>(std::size(path));
    const bool named = QueryFullProcessImageNameW(process, 0, path, &length) != FALSE;
    CloseHandle(process);
    if (!named) return false;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    return _wcsicmp(name, L"qarn.exe") == 0;
}

HWND FindViewerWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"Qarn", nullptr)) != nullptr)
        if (OfViewerProcess(window)) return window;
    return nullptr;
}

bool ReadWindow(Report& report) {
    HWND window = FindViewerWindow();
    if (!window) return false;
    report.visible = IsWindowVisible(window) != FALSE;
    report.origin = POINT{0, 0};
    ClientToScreen(window, &report.origin);

    report.toolbarHeight = 0;
    if (HWND toolbar = GetDlgItem(window, ToolbarId)) {
        RECT r{};
        if (GetWindowRect(toolbar, &r)) report.toolbarHeight = r.bottom - r.top;
    }

    report.status.clear();
    if (HWND statusBar = GetDlgItem(window, StatusBarId)) {
        // WM_GETTEXT crosses the process boundary (the system copies the
        // text back); a status bar answers it with its first part.
        wchar_t text[512] = {};
        DWORD_PTR length = 0;
        if (SendMessageTimeoutW(statusBar, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, 2000, &length)) {
            text[std::size(text) - 1] = L'\0';
            report.status = text;
        }
    }
    return true;
}

void Print(const Report& report) {
    // The status text as UTF-8 so that the caller reads it whatever the code page.
    std::string status;
    if (!report.status.empty()) {
        int size = WideCharToMultiByte(CP_UTF8, 0, report.status.c_str(), -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            status.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, report.status.c_str(), -1, status.data(), size, nullptr, nullptr);
            status.resize(static_cast<size_t>(size - 1));
        }
    }
    std::printf("%ld %ld %d %s\n", report.origin.x, report.origin.y, report.toolbarHeight, status.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double waitSeconds = -1;
    if (argc == 3 && std::strcmp(argv[1], "--wait-ready") == 0) {
        char* end = nullptr;
        waitSeconds = std::strtod(argv[2], &end);
        if (end == argv[2] || *end != '\0' || waitSeconds < 0) waitSeconds = -2;
    } else if (argc != 1) {
        waitSeconds = -2;
    }
    if (waitSeconds == -2) {
        std::fprintf(stderr, "usage: qarn-probe [--wait-ready SECONDS]\n");
        return 2;
    }

    Report report;
    if (waitSeconds < 0) {
        if (!ReadWindow(report)) {
            std::fprintf(stderr, "qarn-probe: no Qarn window\n");
            return 1;
        }
        Print(report);
        return 0;
    }

    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitSeconds * 1000.0);
    bool found = false;
    for (;;) {
        found = ReadWindow(report);
        if (found && report.visible && report.status == L"Ready") {
            Print(report);
            return 0;
        }
        if (GetTickCount64() >= deadline) break;
        Sleep(50);
    }
    if (!found) {
        std::fprintf(stderr, "qarn-probe: no Qarn window after %g s\n", waitSeconds);
        return 1;
    }
    Print(report);
    std::fprintf(stderr, "qarn-probe: the window did not become ready within %g s\n", waitSeconds);
    return 3;
}
