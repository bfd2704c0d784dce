// The About box with its small animation, and the text box that its Updates
// and Acknowledgments buttons open. Both are modal; neither touches the
// viewer's state.
#include <windows.h>

#include <array>
#include <cstdint>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "shell/resources/resource_ids.h"

namespace qarn {
namespace {

// The animation timer lives on the box's own window, so it never reaches
// the main window's timer handler.
constexpr UINT_PTR FrameTimer = 256;
constexpr UINT FramePeriod = 200;  // milliseconds
constexpr int FrameSide = 32;
constexpr int FrameLeft = 16;
constexpr int FrameTop = 16;

// The strip holds three frames, each brighter than the one before. Going up
// to the brightest and back down again makes the set glow; the counter
// picks the next position, rising while it is below 3.
constexpr std::uint32_t FrameCycle[] = {0, 32, 64, 32};
constexpr std::uint32_t FrameCycleLength = sizeof FrameCycle / sizeof FrameCycle[0];

// What an open About box holds for its animation. The box is modal, so the
// command that opens it keeps this on its stack until the box has closed.
struct AboutBoxState {
    HBITMAP strip = nullptr;
    HDC boxContext = nullptr;
    HDC frameContext = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    std::uint32_t framePosition = 0;
    std::uint32_t frameCounter = 0;
};

HINSTANCE InstanceOf(HWND dialog) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)); }

AboutBoxState* StateOf(HWND dialog) { return reinterpret_cast<AboutBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

// Gives back everything the box took when it opened. A strip or context
// that failed to load is simply skipped: the animation area stays blank.
void ReleaseAnimation(HWND dialog) {
    AboutBoxState* state = StateOf(dialog);
    if (state == nullptr) return;
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    KillTimer(dialog, FrameTimer);
    if (state->frameContext != nullptr) {
        if (state->previousBitmap != nullptr) SelectObject(state->frameContext, state->previousBitmap);
        DeleteDC(state->frameContext);
    }
    if (state->strip != nullptr) DeleteObject(state->strip);
    if (state->boxContext != nullptr) ReleaseDC(dialog, state->boxContext);
    *state = AboutBoxState{};
}

// The box keeps its state in DWLP_USER while it is open; every opening
// starts from a clean state.
void StartAnimation(HWND dialog, AboutBoxState& state) {
    state = AboutBoxState{};
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    state.strip = static_cast<HBITMAP>(
        LoadImageW(InstanceOf(dialog), MAKEINTRESOURCEW(IDB_ABOUT_FRAMES), IMAGE_BITMAP, 0, 0, 0));
    state.boxContext = GetDC(dialog);
    if (state.boxContext != nullptr) state.frameContext = CreateCompatibleDC(state.boxContext);
    if (state.frameContext != nullptr && state.strip != nullptr)
        state.previousBitmap = SelectObject(state.frameContext, state.strip);
    SetTimer(dialog, FrameTimer, FramePeriod, nullptr);
}

// Drawn only here, never on WM_PAINT: a covered frame comes back at the
// next tick.
void ShowNextFrame(AboutBoxState& state) {
    if (state.boxContext != nullptr && state.frameContext != nullptr && state.previousBitmap != nullptr)
        BitBlt(state.boxContext, FrameLeft, FrameTop, FrameSide, FrameSide, state.frameContext,
               static_cast<int>(state.framePosition), 0, SRCCOPY);
    state.frameCounter = (state.frameCounter + 1) % FrameCycleLength;
    state.framePosition = FrameCycle[state.frameCounter];
}

INT_PTR CALLBACK TextProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const wchar_t* caption = lParam == IDC_UPDATES           ? L"Qarn Updates"
                                 : lParam == IDC_ACKNOWLEDGMENTS ? L"Qarn Acknowledgments"
                                                                 : nullptr;
        if (caption == nullptr) return TRUE;
        // The text has the button's identifier in the string table.
        std::array<wchar_t, 1024> text{};
        LoadStringW(InstanceOf(dialog), static_cast<UINT>(lParam), text.data(), static_cast<int>(text.size()));
        SendMessageW(GetDlgItem(dialog, IDC_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
        SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK AboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: StartAnimation(dialog, *reinterpret_cast<AboutBoxState*>(lParam)); return TRUE;
    case WM_TIMER:
        if (AboutBoxState* state = StateOf(dialog)) ShowNextFrame(*state);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            ReleaseAnimation(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_UPDATES:
        case IDC_ACKNOWLEDGMENTS:
            // The animation goes on ticking in the text box's modal loop.
            DialogBoxParamW(InstanceOf(dialog), MAKEINTRESOURCEW(IDD_TEXT), dialog, TextProcedure, LOWORD(wParam));
            return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY:
        // Only when the box goes without OK or Esc (its owner was destroyed
        // under it): it must still give back its context and strip.
        ReleaseAnimation(dialog);
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

Handled AboutCommand(Application& app, UINT, WPARAM, LPARAM) {
    AboutBoxState state;
    DialogBoxParamW(app.shell.instance, MAKEINTRESOURCEW(IDD_ABOUT), app.shell.mainWindow, AboutProcedure,
                    reinterpret_cast<LPARAM>(&state));
    return HandledWith(0);
}

}  // namespace qarn
