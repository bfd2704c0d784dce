#pragma once
// What the viewer asks of the window system. The Win32 shell implements it
// with the real calls; tests implement it with a recording fake.
#include <cstdint>

#include "engine/selection_rect.h"

namespace qarn {

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

protected:
    ~Desktop() = default;
};

// A desktop without a window, for the command-line renderer.
class HeadlessDesktop final : public Desktop {
public:
    void SetStatusText(StatusPart, const char16_t*) override {}
    void RepaintPicture() override {}
    void ShowCursor(CursorShape) override {}
    int PictureTop() const override { return 0; }
    void StartTimer(TimerId, unsigned) override {}
    void StopTimer(TimerId) override {}
    ScreenPoint PointerPosition() const override { return {}; }
    void MovePointer(ScreenPoint) override {}
    ScreenPoint ToScreen(ClientPoint point) const override { return {point.x, point.y}; }
    void CaptureMouse() override {}
    void ReleaseMouse() override {}
    void DrawSelectionOutline(const ClientRect&) override {}
    void MarkCommand(int, bool) override {}
};

}  // namespace qarn
