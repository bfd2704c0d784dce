#pragma once
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "desktop/desktop.h"

namespace qarn::testing {

// Records what the program asks of the window system, in order, and plays
// the parts of a screen that the program reads back (the pointer, the
// outline drawn by exclusive-or, the marks).
class RecordingDesktop final : public Desktop {
public:
    struct StatusChange {
        StatusPart part;
        std::u16string text;
    };

    explicit RecordingDesktop(int pictureTop = 28, ScreenPoint clientOrigin = {144, 90})
        : pictureTop_(pictureTop), origin_(clientOrigin) {}

    void SetStatusText(StatusPart part, const char16_t* text) override {
        status.push_back({part, text});
        if (onStatus) onStatus();
    }
    void RepaintPicture() override { ++repaints; }
    void ShowCursor(CursorShape shape) override { cursors.push_back(shape); }
    int PictureTop() const override { return pictureTop_; }

    void StartTimer(TimerId timer, unsigned milliseconds) override {
        timers[timer] = milliseconds;
        ++timerStarts;
    }
    void StopTimer(TimerId timer) override { timers.erase(timer); }

    ScreenPoint PointerPosition() const override { return pointer; }
    void MovePointer(ScreenPoint point) override { pointer = point; }
    ScreenPoint ToScreen(ClientPoint point) const override { return {point.x + origin_.x, point.y + origin_.y}; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }

    void DrawSelectionOutline(const ClientRect& rect) override {
        const auto key = std::tuple(rect.left, rect.top, rect.right, rect.bottom);
        // Exclusive-or: the same rectangle again removes it.
        if (!outlines.erase(key)) outlines.insert(key);
        ++outlineDrawings;
    }
    void MarkCommand(int command, bool marked) override { marks[command] = marked; }

    std::vector<std::u16string> TextsOf(StatusPart part) const {
        std::vector<std::u16string> texts;
        for (const auto& change : status)
            if (change.part == part) texts.push_back(change.text);
        return texts;
    }
    std::u16string LastText(StatusPart part) const {
        const auto texts = TextsOf(part);
        return texts.empty() ? u"" : texts.back();
    }
    bool TimerRuns(TimerId timer) const { return timers.count(timer) != 0; }

    std::vector<StatusChange> status;
    std::vector<CursorShape> cursors;
    int repaints = 0;
    std::function<void()> onStatus;  // runs after each status change
    std::map<TimerId, unsigned> timers;
    int timerStarts = 0;
    ScreenPoint pointer{};
    bool captured = false;
    std::set<std::tuple<int, int, int, int>> outlines;  // on the screen now
    int outlineDrawings = 0;
    std::map<int, bool> marks;

private:
    int pictureTop_;
    ScreenPoint origin_;
};

}  // namespace qarn::testing
