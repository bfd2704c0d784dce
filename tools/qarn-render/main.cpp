// qarn-render: computes a view exactly as the viewer does and writes its
// picture (the viewer's Save As bitmap, or a PNG of any size up to 65536
// pixels a side, anti-aliased if asked), the raw counts, the view as text or
// as a coordinate file, and zoom frames, whole or by range.
#include "run_render.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>

#include "console_interrupt_win32.h"
#include "utf8_arguments.h"

// The wide command line, so that file names of any letters arrive whole; the
// console shows the tool's UTF-8 messages as such while it runs.
int wmain(int argc, wchar_t** argv) {
    using namespace qarn::render;
    const UINT consolePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    int code = RunRender(argc, pointers.data());
    // Every file of the run is closed, and a partial one removed, by now.
    RunCleanedUp();
    if (ConsoleInterrupted()) code = InterruptedExitCode;
    if (consolePage != 0) SetConsoleOutputCP(consolePage);
    return code;
}
#else
int main(int argc, char** argv) { return qarn::render::RunRender(argc, argv); }
#endif
