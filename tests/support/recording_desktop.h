#pragma once
#include <functional>
#include <string>
#include <vector>

#include "desktop/desktop.h"

namespace qarn::testing {

// Records what the program asks of the window system, in order.
class RecordingDesktop final : public Desktop {
public:
    struct StatusChange {
        StatusPart part;
        std::u16string text;
    };

    explicit RecordingDesktop(int pictureTop = 28) : pictureTop_(pictureTop) {}

    void SetStatusText(StatusPart part, const char16_t* text) override {
        status.push_back({part, text});
        if (onStatus) onStatus();
    }
    void RepaintPicture() override { ++repaints; }
    void ShowCursor(CursorShape shape) override { cursors.push_back(shape); }
    int PictureTop() const override { return pictureTop_; }

    std::vector<std::u16string> TextsOf(StatusPart part) const {
        std::vector<std::u16string> texts;
        for (const auto& change : status)
            if (change.part == part) texts.push_back(change.text);
        return texts;
    }

    std::vector<StatusChange> status;
    std::vector<CursorShape> cursors;
    int repaints = 0;
    std::function<void()> onStatus;  // runs after each status change

private:
    int pictureTop_;
};

}  // namespace qarn::testing
