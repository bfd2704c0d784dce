#pragma once
// What the viewer asks of the window system. The Win32 shell implements it
// with the real calls; tests implement it with a recording fake.

namespace qarn {

enum class CursorShape {
    Arrow,
    Wait,
};

enum class StatusPart { Messages = 0, Level = 1 };

class Desktop {
public:
    // Shows a text in one part of the status bar; the bar keeps its own copy.
    virtual void SetStatusText(StatusPart part, const char16_t* text) = 0;
    // Invalidates the picture area and repaints it before returning.
    virtual void RepaintPicture() = 0;
    virtual void ShowCursor(CursorShape shape) = 0;
    // Client y of the picture's top row: the toolbar's height.
    virtual int PictureTop() const = 0;

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
};

}  // namespace qarn
