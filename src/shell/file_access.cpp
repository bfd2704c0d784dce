// The file dialogs, reading and writing data files, and the error box.
#include <windows.h>

#include <commdlg.h>

#include <array>
#include <string>
#include <string_view>

#include "persistence/beside_name.h"
#include "shell/win32_desktop.h"

namespace qarn {
namespace {

// The Open dialog offers only the first pair of filters, Save As both.
constexpr wchar_t SaveFilters[] = L"Qarn File (*.qarn)\0*.qarn\0Bitmap File (*.bmp)\0*.bmp\0";
constexpr wchar_t LoadFilters[] = L"Qarn File (*.qarn)\0*.qarn\0";

wchar_t* WideBuffer(FileNameBuffer& name) { return reinterpret_cast<wchar_t*>(name.data()); }

// Closes a handle when it goes out of scope.
struct FileHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : handle(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    bool Close() {
        const bool closed = CloseHandle(handle) != 0;
        handle = INVALID_HANDLE_VALUE;
        return closed;
    }
};

// Creates a new file beside the target, under a name that no file has yet,
// so that the new content never overwrites a file of the user's.
FileHandle CreateBeside(std::u16string_view target, std::u16string& beside, DWORD& error) {
    for (int attempt = 0; attempt < BesideAttempts; ++attempt) {
        beside = BesideName(target, attempt);
        HANDLE file = CreateFileW(Wide(beside.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            error = ERROR_SUCCESS;
            return FileHandle{file};
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return FileHandle{};
    }
    return FileHandle{};
}

FileError Outcome(DWORD error) { return error == ERROR_SUCCESS ? NoError : SystemFileError(error); }

FileError LastError() { return SystemFileError(GetLastError()); }

}  // namespace

bool Win32Desktop::ChooseFile(FileDialogKind kind, FileNameBuffer& name, FileDialogState& state) {
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = shell_.mainWindow;
    dialog.lpstrFile = WideBuffer(name);
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = L"qarn";
    dialog.nFilterIndex = state.filterIndex;
    BOOL chosen = FALSE;
    if (kind == FileDialogKind::Load) {
        dialog.lpstrFilter = LoadFilters;
        dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        chosen = GetOpenFileNameW(&dialog);
    } else {
        dialog.lpstrFilter = SaveFilters;
        dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        chosen = GetSaveFileNameW(&dialog);
    }
    // The next Save As opens with the filter this dialog ended with.
    if (dialog.nFilterIndex != 0) state.filterIndex = dialog.nFilterIndex;
    state.extensionAt = dialog.nFileExtension;
    // What the dialog covered is painted again before anything computes.
    UpdateWindow(shell_.mainWindow);
    return chosen != FALSE;
}

FileError Win32Desktop::ReadDataFile(const char16_t* path, std::span<std::uint8_t> into, std::size_t& bytesRead,
                                     std::uint64_t& fileSize) {
    // Reading only: a read-only file loads, and a load never creates a file.
    FileHandle file{
        CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return LastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.handle, &size)) return LastError();
    fileSize = static_cast<std::uint64_t>(size.QuadPart);
    DWORD got = 0;
    if (!ReadFile(file.handle, into.data(), static_cast<DWORD>(into.size()), &got, nullptr)) return LastError();
    bytesRead = got;
    return NoError;
}

FileError Win32Desktop::WriteDataFile(const char16_t* path, std::span<const std::span<const std::uint8_t>> parts) {
    const std::wstring target = Wide(path);
    // A file that exists must be writable and not held by another program
    // before anything is written beside it.
    {
        FileHandle existing{CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (existing.handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND) return LastError();
    }
    std::u16string beside;
    DWORD error = ERROR_SUCCESS;
    {
        FileHandle file = CreateBeside(path, beside, error);
        if (file.handle == INVALID_HANDLE_VALUE) return Outcome(error);
        for (const auto& part : parts) {
            DWORD written = 0;
            if (!WriteFile(file.handle, part.data(), static_cast<DWORD>(part.size()), &written, nullptr)) {
                error = GetLastError();
                break;
            }
            if (written != part.size()) {
                error = ERROR_DISK_FULL;
                break;
            }
        }
        if (error == ERROR_SUCCESS && !FlushFileBuffers(file.handle)) error = GetLastError();
        if (!file.Close() && error == ERROR_SUCCESS) error = GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(Wide(beside.c_str()), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) DeleteFileW(Wide(beside.c_str()));
    return Outcome(error);
}

void Win32Desktop::ShowFileError(FileError error) {
    // The program's own refusals take the system's text of their kind.
    const DWORD code = error.kind == FileError::Kind::InvalidData   ? ERROR_INVALID_DATA
                       : error.kind == FileError::Kind::NameTooLong ? ERROR_FILENAME_EXCED_RANGE
                                                                    : error.code;
    std::array<wchar_t, 128> text{};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x0400, text.data(),
                   static_cast<DWORD>(text.size()), nullptr);
    MessageBoxW(nullptr, text.data(), L"Qarn Error", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace qarn
