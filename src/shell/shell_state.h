#pragma once
#include <windows.h>

#include <array>
#include <cstdint>

namespace qarn {

// The window system's handles and the layout, owned by the shell.
struct ShellState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HMENU menu = nullptr;
    HACCEL accelerators = nullptr;
    HDC WindowDC = nullptr;  // the class owns its context: fetched once, never released
    HDC MemoryDC = nullptr;  // holds the display surface for the life of the window
    HBITMAP surface = nullptr;
    std::uint32_t* pixels = nullptr;  // the surface's 512 x 512 pixels, bottom-up
    HWND toolbar = nullptr;
    HWND statusBar = nullptr;
    HCURSOR arrowCursor = nullptr;
    HCURSOR waitCursor = nullptr;
    std::array<HCURSOR, 9> AutoScrollCursors{};
    WINDOWPLACEMENT InitialPlacement{sizeof(WINDOWPLACEMENT), 0, SW_SHOWDEFAULT, {0, 0}, {0, 0}, {144, 48, 656, 560}};
    RECT ToolbarRect{};  // screen coordinates
    RECT PictureRect{};  // client coordinates: (0, T) to (512, T + 512)
};

}  // namespace qarn
