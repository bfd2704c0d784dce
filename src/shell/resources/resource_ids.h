/* Identifiers shared by qarn.rc and the shell's C++ code.
 * Only preprocessor lines: the resource compiler reads this file too. */
#ifndef QARN_SHELL_RESOURCES_RESOURCE_IDS_H
#define QARN_SHELL_RESOURCES_RESOURCE_IDS_H

/* Commands, 36 to 66, in the one table that the viewer uses too. The
 * menu-help string of a command has the command's identifier; the tooltip
 * string of a toolbar button has the command's identifier plus
 * IDS_TOOLTIP_OFFSET. */
#include "desktop/command_ids.h"

/* Resources, looked up by number. */
#define IDR_MAIN_MENU    1
#define IDR_ACCELERATORS 1
#define IDI_QARN         1
#define IDB_TOOLBAR      1
#define IDB_ABOUT_FRAMES 2
#define IDD_ABOUT        1
#define IDD_TEXT         2

/* Controls of the About box and of the text box. */
#define IDC_UPDATES         256
#define IDC_ACKNOWLEDGMENTS 257
#define IDC_TEXT            258

/* The texts that the Updates and Acknowledgments buttons open: each string
 * has its button's identifier. */
#define IDS_UPDATES_TEXT         IDC_UPDATES
#define IDS_ACKNOWLEDGMENTS_TEXT IDC_ACKNOWLEDGMENTS

/* String table: help strings of the four top-level menus are 32 to 35,
 * those of the commands 36 to 66; tooltips are command + 128. */
#define IDS_MENU_HELP_FIRST 32
#define IDS_TOOLTIP_OFFSET  128

/* Child windows of the main window. */
#define IDC_TOOLBAR    240
#define IDC_STATUS_BAR 241

/* AutoScroll cursors, 111 to 119 in slot order: 0 centre, 1 up, 2 down,
 * 3 right, 4 left, 5 up-right, 6 up-left, 7 down-right, 8 down-left. */
#define IDCUR_SCROLL_FIRST 111

#endif /* QARN_SHELL_RESOURCES_RESOURCE_IDS_H */
