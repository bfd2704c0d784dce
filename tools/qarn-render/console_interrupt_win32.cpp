#include "console_interrupt_win32.h"

#include <windows.h>

#include "run_stop.h"

namespace qarn::render {
namespace {

// Signalled when the run has cleaned up; made once, before the handler.
HANDLE cleanedUp = nullptr;

// Windows ends a process about 5 s after a close unless its handlers have
// returned; the handler returns a little earlier in any case.
constexpr DWORD CloseWaitMilliseconds = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: runStopRequested.store(true); return TRUE;  // handled: the run stops by itself
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        runStopRequested.store(true);
        // The process ends when this returns: first let the run remove its
        // files.
        WaitForSingleObject(cleanedUp, CloseWaitMilliseconds);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void StopRunOnConsoleInterrupt() {
    if (cleanedUp != nullptr) return;
    cleanedUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A Ctrl-C that the starting process ignores stays ignored (such a
    // process was started so on purpose, as a background job is).
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RunCleanedUp() {
    if (cleanedUp != nullptr) SetEvent(cleanedUp);
}

bool ConsoleInterrupted() { return runStopRequested.load(); }

}  // namespace qarn::render
