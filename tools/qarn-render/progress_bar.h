#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "engine/renderer.h"

namespace qarn::render {

// Draws the progress of a whole run (every band of every picture) with the
// time left on standard error, while the run takes longer than about a
// second, and only when standard error is a terminal (on Windows, a
// console, whose width the bar fits).
class ProgressBar {
public:
    ProgressBar(const Renderer& renderer, std::int64_t totalRows);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Called just before each band of `rows` rows is computed.
    void BandStarts(int rows);

private:
    void Run();
    std::string Line() const;

    const Renderer& renderer_;
    const std::int64_t totalRows_;
    const std::chrono::steady_clock::time_point start_;
    const int barWidth_;
    std::atomic<std::int64_t> rowsBefore_{0};  // rows of the bands before the running one
    std::atomic<int> bandRows_{0};
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

// "1h02m", "3m05s", "12s"
std::string DurationText(std::int64_t seconds);

}  // namespace qarn::render
