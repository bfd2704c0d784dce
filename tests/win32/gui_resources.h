#pragma once
// What the process holds of the window system and of memory, for tests that
// check nothing is left behind. Wine's GetGuiResources is a stub returning
// 0; there the process's own GDI handle table is counted, and the windows of
// the thread stand in for the USER objects.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

namespace qarn::testing {

// Every window of this thread, children included.
inline DWORD ThreadWindowCount() {
    DWORD count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM total) -> BOOL {
            ++*reinterpret_cast<DWORD*>(total);
            EnumChildWindows(
                window,
                [](HWND, LPARAM inner) -> BOOL {
                    ++*reinterpret_cast<DWORD*>(inner);
                    return TRUE;
                },
                total);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Live GDI objects: GetGuiResources, or the PEB's GdiSharedHandleTable
// (offset 0xF8 on x64), 0x10000 entries of 24 bytes whose type byte, at
// offset 14, is 0 while the entry is free.
inline DWORD GdiObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr || query(GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0) return 0;
    const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + 0xF8);
    if (table == nullptr) return 0;
    DWORD count = 0;
    for (std::size_t i = 0; i < 0x10000; ++i)
        if (table[i * 24 + 14] != 0) ++count;
    return count;
}

inline DWORD UserObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return count;
    return ThreadWindowCount();
}

// The process's private memory, or where the system does not report it,
// its page-file use or working set.
inline SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    if (memory.PrivateUsage != 0) return memory.PrivateUsage;
    if (memory.PagefileUsage != 0) return memory.PagefileUsage;
    return memory.WorkingSetSize;
}

}  // namespace qarn::testing
