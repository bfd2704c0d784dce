#pragma once

namespace qarn::render {

// Ctrl-C, Ctrl-Break and closing the console (or logging off) on Windows:
// the handler asks the run to stop (run_stop.h) and returns; for a close,
// whose return ends the process, it first waits until the run has removed
// its partial files (RunCleanedUp) or Windows's few seconds are nearly over.
void StopRunOnConsoleInterrupt();
// Called once the run has ended and its files are closed or removed.
void RunCleanedUp();
// Whether the console asked the run to stop.
bool ConsoleInterrupted();
// The exit code of a console program that Ctrl-C ended (STATUS_CONTROL_C_EXIT).
inline constexpr int InterruptedExitCode = static_cast<int>(0xC000013AU);

}  // namespace qarn::render
