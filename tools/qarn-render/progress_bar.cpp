#include "progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define QARN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define QARN_ISATTY(fd) isatty(fd)
#endif

namespace qarn::render {
namespace {
constexpr auto Tick = std::chrono::milliseconds(100);
constexpr int TicksBeforeShowing = 10;
constexpr int BarWidth = 40;
constexpr int LineWidth = BarWidth + 32;
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
    : renderer_(renderer), totalRows_(totalRows), start_(std::chrono::steady_clock::now()) {
    if (QARN_ISATTY(2) && totalRows > 0) watcher_ = std::thread([this] { Run(); });
}

ProgressBar::~ProgressBar() {
    done_.store(true);
    if (watcher_.joinable()) watcher_.join();
}

void ProgressBar::BandStarts(int rows) {
    rowsBefore_.fetch_add(bandRows_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    bandRows_.store(rows, std::memory_order_relaxed);
}

std::string ProgressBar::Line() const {
    const int band = bandRows_.load(std::memory_order_relaxed);
    const std::int64_t done = std::min<std::int64_t>(
        totalRows_, rowsBefore_.load(std::memory_order_relaxed) + std::min(renderer_.LinesDone(), band));
    const int filled = static_cast<int>(done * BarWidth / totalRows_);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(BarWidth - filled), '.');
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string left =
        done > 0 ? DurationText(static_cast<std::int64_t>(elapsed * static_cast<double>(totalRows_ - done) /
                                                          static_cast<double>(done) + 0.5)) + " left"
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
        std::fputs(Line().c_str(), stderr);
        std::fflush(stderr);
        shown = true;
    }
    if (shown) std::fprintf(stderr, "\r%*s\r", LineWidth, "");
}

}  // namespace qarn::render
