#pragma once
// What the viewer asks of the window system. The Win32 shell implements it
// with the real calls; tests implement it with a recording fake.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "desktop/command_ids.h"

namespace qarn {

// Client coordinates of the main window: the picture's top row lies at the
// toolbar's height.
struct ClientPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct ClientRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

enum class CursorShape {
    Arrow,
    Wait,
    // AutoScroll, by the direction of movement.
    ScrollCentre,
    ScrollUp,
    ScrollDown,
    ScrollRight,
    ScrollLeft,
    ScrollUpRight,
    ScrollUpLeft,
    ScrollDownRight,
    ScrollDownLeft,
};

enum class StatusPart { Messages = 0, Level = 1 };

// The main window's timers; their ticks come back through the viewer's
// timer dispatch.
enum class TimerId { ColourShift = 1, AutoZoom = 2, AutoScroll = 3 };

// How a file operation ended. The program's own refusals have names; a
// failure that the file system reports carries its code, which only the
// desktop reads (for the text of the error box).
struct FileError {
    enum class Kind : std::uint8_t {
        None,
        InvalidData,  // not a file the program writes
        NameTooLong,  // longer than the file name buffer
        System,       // the file system's failure, `code`
    };
    Kind kind = Kind::None;
    std::uint32_t code = 0;
    bool operator==(const FileError&) const = default;
};
inline constexpr FileError NoError{};
inline constexpr FileError InvalidDataError{FileError::Kind::InvalidData};
inline constexpr FileError NameTooLongError{FileError::Kind::NameTooLong};
inline constexpr FileError SystemFileError(std::uint32_t code) { return {FileError::Kind::System, code}; }

// The full path of the file being loaded or saved, zero-terminated.
using FileNameBuffer = std::array<char16_t, 260>;

enum class FileDialogKind { Load, SaveAs };

// What the file dialogs remember between openings, and what they report.
struct FileDialogState {
    std::uint32_t filterIndex = 1;  // 1 coordinate files, 2 bitmaps
    std::size_t extensionAt = 0;    // index in the name after its last dot; 0: none
};

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

class Desktop {
public:
    // Shows a text in one part of the status bar; the bar keeps its own copy.
    virtual void SetStatusText(StatusPart part, const char16_t* text) = 0;
    // Invalidates the picture area and repaints it before returning.
    virtual void RepaintPicture() = 0;
    virtual void ShowCursor(CursorShape shape) = 0;
    // Client y of the picture's top row: the toolbar's height.
    virtual int PictureTop() const = 0;

    // Starts (or restarts) a timer of the main window with the period.
    virtual void StartTimer(TimerId timer, unsigned milliseconds) = 0;
    virtual void StopTimer(TimerId timer) = 0;

    virtual ScreenPoint PointerPosition() const = 0;
    virtual void MovePointer(ScreenPoint point) = 0;
    virtual ScreenPoint ToScreen(ClientPoint point) const = 0;
    // All mouse input to the main window, wherever the pointer is.
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;

    // Draws the selection outline over the picture by exclusive-or: drawing
    // the same rectangle again removes it.
    virtual void DrawSelectionOutline(const ClientRect& rect) = 0;
    // The check mark of a menu item and, where it has one, the pressed look
    // of its toolbar button (the button first).
    virtual void MarkCommand(int command, bool marked) = 0;

    // The Open or Save As dialog. On true the chosen path is in `name`.
    virtual bool ChooseFile(FileDialogKind kind, FileNameBuffer& name, FileDialogState& state) = 0;
    // Reads at most into.size() bytes from the start of an existing file,
    // opened for reading only; reports how many and the file's whole size.
    virtual FileError ReadDataFile(const char16_t* path, std::span<std::uint8_t> into, std::size_t& bytesRead,
                                   std::uint64_t& fileSize) = 0;
    // Makes `parts`, one after the other, the whole content of the file. An
    // earlier file of that name is replaced only once every byte is written;
    // on any failure it is left as it was.
    virtual FileError WriteDataFile(const char16_t* path, std::span<const std::span<const std::uint8_t>> parts) = 0;
    // The system's text for the failure in a box captioned "Qarn Error".
    virtual void ShowFileError(FileError error) = 0;

protected:
    ~Desktop() = default;
};

}  // namespace qarn
