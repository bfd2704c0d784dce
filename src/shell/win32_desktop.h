#pragma once
#include "desktop/desktop.h"
#include "shell/shell_state.h"

namespace qarn {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 texts are UTF-16");

inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The viewer's requests carried out with the real window.
class Win32Desktop final : public Desktop {
public:
    explicit Win32Desktop(ShellState& shell) : shell_(shell) {}

    void SetStatusText(StatusPart part, const char16_t* text) override;
    void RepaintPicture() override;
    void ShowCursor(CursorShape shape) override;
    int PictureTop() const override { return shell_.PictureRect.top; }
    void StartTimer(TimerId timer, unsigned milliseconds) override;
    void StopTimer(TimerId timer) override;
    ScreenPoint PointerPosition() const override;
    void MovePointer(ScreenPoint point) override;
    ScreenPoint ToScreen(ClientPoint point) const override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void DrawSelectionOutline(const ClientRect& rect) override;
    void MarkCommand(int command, bool marked) override;
    bool ChooseFile(FileDialogKind kind, FileNameBuffer& name, FileDialogState& state) override;
    FileError ReadDataFile(const char16_t* path, std::span<std::uint8_t> into, std::size_t& bytesRead,
                           std::uint64_t& fileSize) override;
    FileError WriteDataFile(const char16_t* path, std::span<const std::span<const std::uint8_t>> parts) override;
    void ShowFileError(FileError error) override;

private:
    ShellState& shell_;
};

}  // namespace qarn
