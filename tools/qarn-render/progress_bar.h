#pragma once
#include <atomic>
#include <thread>

#include "engine/renderer.h"

namespace qarn::render {

// Draws the progress of the renderer's passes on standard error while a
// render runs longer than about a second, and only when standard error is a
// terminal.
class ProgressBar {
public:
    explicit ProgressBar(const Renderer& renderer);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

private:
    void Run();

    const Renderer& renderer_;
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

}  // namespace qarn::render
