// Qarn: an interactive viewer of the Mandelbrot set.
#include <windows.h>

#include <memory>

#include "shell/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The one instance of the program's state, for the life of the process.
    static qarn::Application application;
    if (qarn::StartUp(application) != 0) ExitProcess(1);
    ExitProcess(static_cast<UINT>(qarn::MessageLoop(application)));
}
