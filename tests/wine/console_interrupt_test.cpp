// Ctrl-C in the console of a running qarn-render.exe: the run
// stops, its file beside the target is removed, no target appears, and the
// exit code is that of a console program ended by Ctrl-C.
//
//   console_interrupt_test QARN_RENDER_EXE FOLDER
//
// The console events go to every process of a console, so this program makes a console of its own (under ctest it has
// none), starts the tool in it and sends the event once the tool has created
// its file, then checks the folder.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

BOOL WINAPI Handled(DWORD) { return TRUE; }  // this program lives on

int Check(const std::wstring& exe, const std::filesystem::path& folder, DWORD event) {
    const wchar_t* name = event == CTRL_C_EVENT ? L"Ctrl-C" : L"Ctrl-Break";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder);
    const std::filesystem::path target = folder / L"très-grand.png";
    const std::filesystem::path beside = folder / L"très-grand.png.saving";
    // Long enough to be caught computing: a few seconds at least, any machine.
    std::wstring command = L"\"" + exe + L"\" --threads 1 --size 16384x16384 -o \"" + target.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"%ls: the tool could not be started (%lu)\n", name, GetLastError());
        return 1;
    }
    // Until the file beside the target exists: the tool is computing.
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
        started = std::filesystem::exists(beside, ec);
        if (!started && WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
    }
    if (!started) {
        std::fwprintf(stderr, L"%ls: the tool made no file beside its target\n", name);
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    // To every process of the console, as the keys would (Wine sends no
    // event to a process group of its own).
    if (!GenerateConsoleCtrlEvent(event, 0)) {
        std::fwprintf(stderr, L"%ls: the event could not be sent (%lu)\n", name, GetLastError());
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"%ls: the tool did not stop\n", name);
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    int failures = 0;
    if (code != 0xC000013AU) {
        std::fwprintf(stderr, L"%ls: exit code 0x%08lX, not 0xC000013A\n", name, code);
        ++failures;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::fwprintf(stderr, L"%ls: left %ls\n", name, entry.path().filename().c_str());
        ++failures;
    }
    if (failures == 0) std::wprintf(L"%ls: stopped, exit code 0x%08lX, nothing left\n", name, code);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: console_interrupt_test QARN_RENDER_EXE FOLDER\n", stderr);
        return 2;
    }
    FreeConsole();
    if (!AllocConsole()) {
        std::fprintf(stderr, "no console could be made (%lu)\n", GetLastError());
        return 1;
    }
    // Output goes to ctest's pipes, not the new console.
    SetConsoleCtrlHandler(Handled, TRUE);
    int status = 0;
    // Ctrl-Break takes the same path in the tool; Wine sends it to no process
    // (GenerateConsoleCtrlEvent fails with ERROR_INVALID_HANDLE), so only
    // Ctrl-C is tried.
    for (DWORD event : {CTRL_C_EVENT}) status |= Check(argv[1], std::filesystem::path(argv[2]) / L"c", event);
    return status;
}
