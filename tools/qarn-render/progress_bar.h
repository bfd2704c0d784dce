#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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
    // The same for a computation whose running band's finished rows
    // `linesDone` tells (called on the bar's own thread).
    ProgressBar(std::function<int()> linesDone, std::int64_t totalRows);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Called just before each band of `rows` rows is computed.
    void BandStarts(int rows);
    // Work before the rows, such as a reference orbit: the bar shows `name`
    // (a string that lives as long as the bar) and done of total (total 0:
    // no share known) until EndStage().
    void Stage(const char* name, std::int64_t done, std::int64_t total);
    void EndStage();

private:
    void Run();
    std::string Line() const;

    const std::function<int()> linesDone_;
    const std::int64_t totalRows_;
    const std::chrono::steady_clock::time_point start_;
    const int barWidth_;
    std::atomic<std::int64_t> rowsBefore_{0};  // rows of the bands before the running one
    std::atomic<int> bandRows_{0};
    std::atomic<bool> done_{false};
    std::atomic<const char*> stage_{nullptr};
    std::atomic<std::int64_t> stageDone_{0};
    std::atomic<std::int64_t> stageTotal_{0};
    std::thread watcher_;
};

// "1h02m", "3m05s", "12s"
std::string DurationText(std::int64_t seconds);

}  // namespace qarn::render
