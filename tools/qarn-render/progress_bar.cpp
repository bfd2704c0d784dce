#include "progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qarn::render {
namespace {
constexpr auto Tick = std::chrono::milliseconds(100);
constexpr int TicksBeforeShowing = 10;
constexpr int MaxBarWidth = 40;
constexpr int TextWidth = 32;  // the line's text beside the bar
constexpr int MinBarWidth = 10;

#if defined(_WIN32)
// A console, not a file, a pipe or NUL (which _isatty also calls a
// character device); the bar then fits the console's width, since a line
// that wraps could not be redrawn in place with '\r'.
int StderrColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}
#else
int StderrColumns() { return isatty(2) ? 80 : 0; }
#endif

#if defined(_WIN32)
// In one write: the console redraws the line at once, where the C library
// would hand an unbuffered stream its letters one by one.
void WriteStderr(const std::string& text) {
    std::fflush(stderr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
#else
void WriteStderr(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}
#endif

// The bar's width for a line of `columns`, less one (the cursor's place
// after the last letter), or 0 for no bar.
int BarWidthFor(int columns) {
    const int width = std::min(MaxBarWidth, columns - 1 - TextWidth);
    return columns > 0 && width >= MinBarWidth ? width : 0;
}
}  // namespace

std::string DurationText(std::int64_t seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lldh%02lldm", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60));
    else if (seconds >= 60)
        std::snprintf(text, sizeof text, "%lldm%02llds", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%llds", static_cast<long long>(seconds));
    return text;
}

ProgressBar::ProgressBar(const Renderer& renderer, std::int64_t totalRows)
    : ProgressBar([&renderer] { return renderer.LinesDone(); }, totalRows) {}

ProgressBar::ProgressBar(std::function<int()> linesDone, std::int64_t totalRows)
    : linesDone_(std::move(linesDone)),
      totalRows_(totalRows),
      start_(std::chrono::steady_clock::now()),
      barWidth_(BarWidthFor(StderrColumns())) {
    if (barWidth_ > 0 && totalRows > 0) watcher_ = std::thread([this] { Run(); });
}

ProgressBar::~ProgressBar() {
    done_.store(true);
    if (watcher_.joinable()) watcher_.join();
}

void ProgressBar::BandStarts(int rows) {
    rowsBefore_.fetch_add(bandRows_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    bandRows_.store(rows, std::memory_order_relaxed);
}

void ProgressBar::Stage(const char* name, std::int64_t done, std::int64_t total) {
    stageDone_.store(done, std::memory_order_relaxed);
    stageTotal_.store(total, std::memory_order_relaxed);
    stage_.store(name, std::memory_order_release);
}

void ProgressBar::EndStage() { stage_.store(nullptr, std::memory_order_release); }

std::string ProgressBar::Line() const {
    if (const char* stage = stage_.load(std::memory_order_acquire); stage != nullptr) {
        const std::int64_t total = stageTotal_.load(std::memory_order_relaxed);
        const std::int64_t done = std::min(total, stageDone_.load(std::memory_order_relaxed));
        const int filled = total > 0 ? static_cast<int>(done * barWidth_ / total) : 0;
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(barWidth_ - filled), '.');
        char text[160];
        if (total > 0)
            std::snprintf(text, sizeof text, "\r%s [%s] %3d%%  ", stage, bar.c_str(),
                          static_cast<int>(done * 100 / total));
        else
            std::snprintf(text, sizeof text, "\r%s ...", stage);
        // Padded over what the line before showed.
        std::string line = text;
        line.resize(std::max(line.size(), static_cast<std::size_t>(barWidth_ + TextWidth)), ' ');
        return line;
    }
    const int band = bandRows_.load(std::memory_order_relaxed);
    const std::int64_t done = std::min<std::int64_t>(totalRows_, rowsBefore_.load(std::memory_order_relaxed) +
                                                                     std::min(linesDone_(), band));
    const int filled = static_cast<int>(done * barWidth_ / totalRows_);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(barWidth_ - filled), '.');
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string left = done > 0
                                 ? DurationText(static_cast<std::int64_t>(
                                       elapsed * static_cast<double>(totalRows_ - done) / static_cast<double>(done) +
                                       0.5)) +
                                       " left"
                                 : std::string();
    char text[128];
    std::snprintf(text, sizeof text, "\rrendering [%s] %3d%%  %s  ", bar.c_str(),
                  static_cast<int>(done * 100 / totalRows_), left.c_str());
    return text;
}

void ProgressBar::Run() {
    bool shown = false;
    for (int tick = 1; !done_.load(); ++tick) {
        std::this_thread::sleep_for(Tick);
        if (tick < TicksBeforeShowing || done_.load()) continue;
        WriteStderr(Line());
        shown = true;
    }
    if (shown) WriteStderr("\r" + std::string(static_cast<std::size_t>(barWidth_ + TextWidth), ' ') + "\r");
}

}  // namespace qarn::render
