#pragma once
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "shell/resources/resource_ids.h"

namespace qarn {

inline constexpr int ToolbarImageCount = 20;

// The toolbar: 20 images, 24 buttons with separators between the groups.
// The checked look of 42, 61 and 62 matches the settings at start.
inline constexpr BYTE Enabled = TBSTATE_ENABLED;
inline constexpr BYTE Checked = TBSTATE_ENABLED | TBSTATE_CHECKED;
inline constexpr TBBUTTON Separator{0, 0, 0, BTNS_SEP, {}, 0, 0};
inline constexpr std::array<TBBUTTON, 24> ToolbarButtons{{
    {0, IDM_LOAD, Enabled, BTNS_BUTTON, {}, 0, 0},
    {1, IDM_SAVE_AS, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {2, IDM_SELECT_1, Checked, BTNS_BUTTON, {}, 0, 0},
    {3, IDM_SELECT_2, Enabled, BTNS_BUTTON, {}, 0, 0},
    {4, IDM_SELECT_3, Enabled, BTNS_BUTTON, {}, 0, 0},
    {5, IDM_SELECT_4, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {6, IDM_CONSTANT_SUBTRACT, Enabled, BTNS_BUTTON, {}, 0, 0},
    {7, IDM_SUBTRACT_SHIFTING, Enabled, BTNS_BUTTON, {}, 0, 0},
    {8, IDM_RESTORE, Enabled, BTNS_BUTTON, {}, 0, 0},
    {9, IDM_ADD_SHIFTING, Enabled, BTNS_BUTTON, {}, 0, 0},
    {10, IDM_CONSTANT_ADD, Enabled, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {11, IDM_PALETTE_MONO, Enabled, BTNS_BUTTON, {}, 0, 0},
    {12, IDM_PALETTE_EIGHTH, Enabled, BTNS_BUTTON, {}, 0, 0},
    {13, IDM_PALETTE_QUARTER, Enabled, BTNS_BUTTON, {}, 0, 0},
    {14, IDM_PALETTE_HALF, Enabled, BTNS_BUTTON, {}, 0, 0},
    {15, IDM_PALETTE_NORMAL, Checked, BTNS_BUTTON, {}, 0, 0},
    Separator,
    {16, IDM_DEPTH_EIGHTH, Checked, BTNS_BUTTON, {}, 0, 0},
    {17, IDM_DEPTH_QUARTER, Enabled, BTNS_BUTTON, {}, 0, 0},
    {18, IDM_DEPTH_HALF, Enabled, BTNS_BUTTON, {}, 0, 0},
    {19, IDM_DEPTH_NORMAL, Enabled, BTNS_BUTTON, {}, 0, 0},
}};

}  // namespace qarn
