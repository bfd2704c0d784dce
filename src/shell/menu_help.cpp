// Help texts for menu items in the status bar, and toolbar tooltips.
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "shell/application.h"
#include "shell/dispatch.h"
#include "shell/resources/resource_ids.h"
#include "viewer/modes.h"
#include "viewer/selection.h"

namespace qarn {
namespace {

// The help text of what the menu highlights: a command's string has its
// identifier; a top-level menu's is 32 plus its position; separators and the
// system menu have none.
void HelpText(const ShellState& shell, UINT item, UINT flags, HMENU menu, std::array<wchar_t, 256>& text) {
    text[0] = L'\0';
    UINT id = 0;
    if (flags & MF_SYSMENU) return;
    if (flags & MF_POPUP) {
        if (menu != shell.menu) return;
        id = IDS_MENU_HELP_FIRST + item;
    } else if (flags & MF_SEPARATOR) {
        return;
    } else {
        id = item;
    }
    LoadStringW(shell.instance, id, text.data(), static_cast<int>(text.size()));
}

}  // namespace

// The common controls' MenuHelp does this on Windows, but Wine's differs
// (no help for the top-level menus): the texts are chosen here, the same on
// both.
Handled OnMenuSelect(Application& app, UINT, WPARAM wParam, LPARAM lParam) {
    EndActivities(app.viewer, app.desktop, Action::MenuNavigation);
    const ShellState& shell = app.shell;
    const UINT flags = HIWORD(wParam);
    const auto menu = reinterpret_cast<HMENU>(lParam);
    if (flags == 0xFFFF && menu == nullptr) {
        SendMessageW(shell.statusBar, SB_SIMPLE, FALSE, 0);  // the two parts show again
        return HandledWith(0);
    }
    std::array<wchar_t, 256> text{};
    HelpText(shell, LOWORD(wParam), flags, menu, text);
    SendMessageW(shell.statusBar, SB_SIMPLE, TRUE, 0);
    SendMessageW(shell.statusBar, SB_SETTEXTW, 255 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(text.data()));
    return HandledWith(0);
}

Handled OnToolTipText(Application& app, NMHDR& header) {
    auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
    info.lpszText = MAKEINTRESOURCEW(header.idFrom + IDS_TOOLTIP_OFFSET);
    info.hinst = app.shell.instance;
    ResetSelection(app.viewer, app.desktop);
    return HandledWith(0);
}

}  // namespace qarn
