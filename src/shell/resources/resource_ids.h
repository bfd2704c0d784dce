/* Identifiers shared by qarn.rc and the shell's C++ code.
 * Only #define lines: the resource compiler reads this file too. */
#ifndef QARN_SHELL_RESOURCES_RESOURCE_IDS_H
#define QARN_SHELL_RESOURCES_RESOURCE_IDS_H

/* Commands (WM_COMMAND identifiers, 36 to 66). The menu-help string of a
 * command has the command's identifier; the tooltip string of a toolbar
 * button has the command's identifier plus IDS_TOOLTIP_OFFSET. */
#define IDM_LOAD                 36
#define IDM_SAVE_AS              37
#define IDM_EXIT                 38
#define IDM_ZERO_LEVEL           39
#define IDM_ZOOM_OUT             40
#define IDM_ZOOM_IN              41
#define IDM_SELECT_1             42
#define IDM_SELECT_2             43
#define IDM_SELECT_3             44
#define IDM_SELECT_4             45
#define IDM_AUTO_ZOOM_OUT        46
#define IDM_AUTO_ZOOM_IN         47
#define IDM_AUTOSCROLL           48
#define IDM_CONSTANT_SUBTRACT    49
#define IDM_SUBTRACT_SHIFTING    50
#define IDM_RESTORE              51
#define IDM_ADD_SHIFTING         52
#define IDM_CONSTANT_ADD         53
#define IDM_MONO_RED             54
#define IDM_MONO_GREEN           55
#define IDM_MONO_BLUE            56
#define IDM_PALETTE_MONO         57
#define IDM_PALETTE_EIGHTH       58
#define IDM_PALETTE_QUARTER      59
#define IDM_PALETTE_HALF         60
#define IDM_PALETTE_NORMAL       61
#define IDM_DEPTH_EIGHTH         62
#define IDM_DEPTH_QUARTER        63
#define IDM_DEPTH_HALF           64
#define IDM_DEPTH_NORMAL         65
#define IDM_ABOUT                66

/* Resources, looked up by number. */
#define IDR_MAIN_MENU            1
#define IDR_ACCELERATORS         1
#define IDI_QARN                 1
#define IDB_TOOLBAR              1
#define IDB_ABOUT_FRAMES         2
#define IDD_ABOUT                1
#define IDD_TEXT                 2

/* Controls of the About box and of the text box. */
#define IDC_UPDATES              256
#define IDC_ACKNOWLEDGMENTS      257
#define IDC_TEXT                 258

/* String table: help strings of the four top-level menus are 32 to 35,
 * those of the commands 36 to 66; tooltips are command + 128. */
#define IDS_MENU_HELP_FIRST      32
#define IDS_TOOLTIP_OFFSET       128

/* Child windows of the main window. */
#define IDC_TOOLBAR              240
#define IDC_STATUS_BAR           241

/* AutoScroll cursors, 111 to 119 in slot order: 0 centre, 1 up, 2 down,
 * 3 right, 4 left, 5 up-right, 6 up-left, 7 down-right, 8 down-left. */
#define IDCUR_SCROLL_FIRST       111

#endif /* QARN_SHELL_RESOURCES_RESOURCE_IDS_H */
