#include "progress_bar.h"

#include <chrono>
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
}  // namespace

ProgressBar::ProgressBar(const Renderer& renderer) : renderer_(renderer) {
    if (QARN_ISATTY(2)) watcher_ = std::thread([this] { Run(); });
}

ProgressBar::~ProgressBar() {
    done_.store(true);
    if (watcher_.joinable()) watcher_.join();
}

void ProgressBar::Run() {
    bool shown = false;
    for (int tick = 1; !done_.load(); ++tick) {
        std::this_thread::sleep_for(Tick);
        if (tick < TicksBeforeShowing || done_.load()) continue;
        const int total = renderer_.LinesTotal();
        const int done = renderer_.LinesDone();
        const int filled = total > 0 ? done * BarWidth / total : 0;
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(BarWidth - filled), '.');
        std::fprintf(stderr, "\rrendering [%s] %3d%%", bar.c_str(), total > 0 ? done * 100 / total : 0);
        std::fflush(stderr);
        shown = true;
    }
    if (shown) std::fprintf(stderr, "\r%*s\r", BarWidth + 20, "");
}

}  // namespace qarn::render
