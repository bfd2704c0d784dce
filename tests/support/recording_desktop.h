#pragma once
#include <algorithm>
#include <functional>
#include <optional>
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
class RecordingDesktop : public Desktop {
public:
    struct StatusChange {
        StatusPart part;
        std::u16string text;
    };

    explicit RecordingDesktop(int pictureTop = 28, ScreenPoint clientOrigin = {144, 90})
        : pictureTop_(pictureTop), origin_(clientOrigin) {}
    virtual ~RecordingDesktop() = default;  // the fuzzer derives from it

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

    // A file system of whole files by name, with failures to inject.
    bool ChooseFile(FileDialogKind kind, FileNameBuffer& name, FileDialogState& state) override {
        dialogs.push_back({kind, state.filterIndex});
        if (!dialogAnswer) return false;
        std::fill(name.begin(), name.end(), u'\0');
        std::copy(dialogAnswer->begin(), dialogAnswer->end(), name.begin());
        const auto dot = dialogAnswer->find_last_of(u'.');
        state.extensionAt = dot == std::u16string::npos ? 0 : dot + 1;
        if (answerFilter != 0) state.filterIndex = answerFilter;
        return true;
    }
    FileError ReadDataFile(const char16_t* path, std::span<std::uint8_t> into, std::size_t& bytesRead,
                           std::uint64_t& fileSize) override {
        if (const auto failure = readFailures.find(path); failure != readFailures.end()) return failure->second;
        const auto file = files.find(path);
        if (file == files.end()) return SystemFileError(2);  // ERROR_FILE_NOT_FOUND
        fileSize = file->second.size();
        bytesRead = std::min(into.size(), file->second.size());
        std::copy_n(file->second.begin(), bytesRead, into.begin());
        return NoError;
    }
    FileError WriteDataFile(const char16_t* path, std::span<const std::span<const std::uint8_t>> parts) override {
        ++writes;
        if (const auto failure = writeFailures.find(path); failure != writeFailures.end()) return failure->second;
        std::vector<std::uint8_t> content;
        for (const auto& part : parts) content.insert(content.end(), part.begin(), part.end());
        files[path] = std::move(content);
        return NoError;
    }
    void ShowFileError(FileError error) override { errorBoxes.push_back(error); }

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

    struct DialogShown {
        FileDialogKind kind;
        std::uint32_t filterIndexShown;
    };
    std::optional<std::u16string> dialogAnswer;  // none: the dialog is cancelled
    std::uint32_t answerFilter = 0;              // the filter the user picks; 0 keeps it
    std::vector<DialogShown> dialogs;
    std::map<std::u16string, std::vector<std::uint8_t>> files;
    std::map<std::u16string, FileError> readFailures;
    std::map<std::u16string, FileError> writeFailures;  // the earlier content stays
    int writes = 0;
    std::vector<FileError> errorBoxes;

private:
    int pictureTop_;
    ScreenPoint origin_;
};

}  // namespace qarn::testing
