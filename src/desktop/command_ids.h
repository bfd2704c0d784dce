/* The commands' identifiers, 36 to 66: the menu, the accelerators and the
 * toolbar issue them (WM_COMMAND), the shell's command table dispatches them
 * and the viewer's handlers and check marks take them. The resource compiler
 * reads this file too: only #define lines. Where several identifiers share a
 * handler they are a range, with FIRST and LAST names. */
#ifndef QARN_DESKTOP_COMMAND_IDS_H
#define QARN_DESKTOP_COMMAND_IDS_H

#define IDM_LOAD              36
#define IDM_SAVE_AS           37
#define IDM_EXIT              38
#define IDM_ZERO_LEVEL        39
#define IDM_ZOOM_OUT          40
#define IDM_ZOOM_IN           41
#define IDM_SELECT_1          42
#define IDM_SELECT_2          43
#define IDM_SELECT_3          44
#define IDM_SELECT_4          45
#define IDM_AUTO_ZOOM_OUT     46
#define IDM_AUTO_ZOOM_IN      47
#define IDM_AUTOSCROLL        48
#define IDM_CONSTANT_SUBTRACT 49
#define IDM_SUBTRACT_SHIFTING 50
#define IDM_RESTORE           51
#define IDM_ADD_SHIFTING      52
#define IDM_CONSTANT_ADD      53
#define IDM_MONO_RED          54
#define IDM_MONO_GREEN        55
#define IDM_MONO_BLUE         56
#define IDM_PALETTE_MONO      57
#define IDM_PALETTE_EIGHTH    58
#define IDM_PALETTE_QUARTER   59
#define IDM_PALETTE_HALF      60
#define IDM_PALETTE_NORMAL    61
#define IDM_DEPTH_EIGHTH      62
#define IDM_DEPTH_QUARTER     63
#define IDM_DEPTH_HALF        64
#define IDM_DEPTH_NORMAL      65
#define IDM_ABOUT             66

#define IDM_FIRST         IDM_LOAD
#define IDM_LAST          IDM_ABOUT
/* Zero level reset, Zoom Out, Zoom In */
#define IDM_ZOOM_FIRST    IDM_ZERO_LEVEL
#define IDM_ZOOM_LAST     IDM_ZOOM_IN
/* Select 1 to 4 level Zoom */
#define IDM_SELECT_FIRST  IDM_SELECT_1
#define IDM_SELECT_LAST   IDM_SELECT_4
/* the five colour shift commands */
#define IDM_SHIFT_FIRST   IDM_CONSTANT_SUBTRACT
#define IDM_SHIFT_LAST    IDM_CONSTANT_ADD
/* the three monochrome components, then the five palette sizes */
#define IDM_MONO_FIRST    IDM_MONO_RED
#define IDM_PALETTE_FIRST IDM_PALETTE_MONO
#define IDM_PALETTE_LAST  IDM_PALETTE_NORMAL
/* the four depths */
#define IDM_DEPTH_FIRST   IDM_DEPTH_EIGHTH
#define IDM_DEPTH_LAST    IDM_DEPTH_NORMAL

#endif /* QARN_DESKTOP_COMMAND_IDS_H */
