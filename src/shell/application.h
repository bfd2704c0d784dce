#pragma once
#include "shell/shell_state.h"
#include "shell/win32_desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// The whole program: the portable viewer, the window's handles and the
// desktop that joins them. The entry point holds the single instance.
struct Application {
    Viewer viewer;
    ShellState shell;
    Win32Desktop desktop{shell};
};

// Start-up: registers the class, creates and places the main window and
// shows the first picture. Returns 0 on success, 1 on failure.
int StartUp(Application& application);

// Runs until WM_QUIT; returns the exit code (-1 when GetMessageW fails).
int MessageLoop(Application& application);

}  // namespace qarn
