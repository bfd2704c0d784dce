#pragma once
#include <windows.h>

#include <commctrl.h>

#include <array>

namespace qarn {

inline constexpr int ToolbarImageCount = 20;

// The toolbar: 20 images, 24 buttons with separators between the groups.
// The checked look of 42, 61 and 62 matches the settings at start.
inline constexpr BYTE Enabled = TBSTATE_ENABLED;
inline constexpr BYTE Checked = TBSTATE_ENABLED | TBSTATE_CHECKED;
inline constexpr TBBUTTON Separator{0, 0, 0, BTNS_SEP, {}, 0, 0};
inline constexpr std::array<TBBUTTON, 24> ToolbarButtons{{
    {0, 36, Enabled, BTNS_BUTTON, {}, 0, 0},
    {1, 37, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {2, 42, Checked, BTNS_BUTTON, {}, 0, 0},
    {3, 43, Enabled, BTNS_BUTTON, {}, 0, 0},
    {4, 44, Enabled, BTNS_BUTTON, {}, 0, 0},
    {5, 45, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {6, 49, Enabled, BTNS_BUTTON, {}, 0, 0},
    {7, 50, Enabled, BTNS_BUTTON, {}, 0, 0},
    {8, 51, Enabled, BTNS_BUTTON, {}, 0, 0},
    {9, 52, Enabled, BTNS_BUTTON, {}, 0, 0},
    {10, 53, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {11, 57, Enabled, BTNS_BUTTON, {}, 0, 0},
    {12, 58, Enabled, BTNS_BUTTON, {}, 0, 0},
    {13, 59, Enabled, BTNS_BUTTON, {}, 0, 0},
    {14, 60, Enabled, BTNS_BUTTON, {}, 0, 0},
    {15, 61, Checked, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {16, 62, Checked, BTNS_BUTTON, {}, 0, 0},
    {17, 63, Enabled, BTNS_BUTTON, {}, 0, 0},
    {18, 64, Enabled, BTNS_BUTTON, {}, 0, 0},
    {19, 65, Enabled, BTNS_BUTTON, {}, 0, 0},
}};

}  // namespace qarn
